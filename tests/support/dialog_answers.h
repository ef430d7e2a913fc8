#pragma once

// A window's dialogs answered by a test, which records what they were asked:
// for the tests of each toolkit's window. Header only.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/form.h"

namespace plattero::testing {

struct DialogAnswers {
  std::deque<std::vector<std::u16string>> open_answers;  // one per open dialog; none: cancelled
  std::vector<window::TFileDialogRequest> open_requests;
  std::deque<std::optional<std::u16string>> save_answers;  // answered first, one each
  std::optional<std::u16string> save_answer;               // then every time
  std::vector<window::TFileDialogRequest> save_requests;
  std::vector<std::u16string> messages;
  std::vector<std::u16string> questions;
  bool answer_yes = true;
  std::function<void()> on_save_dialog;  // runs while the save dialog would be open

  std::vector<std::u16string> AnswerOpen(const window::TFileDialogRequest& r) {
    open_requests.push_back(r);
    if (open_answers.empty()) return {};
    std::vector<std::u16string> answer = open_answers.front();
    open_answers.pop_front();
    return answer;
  }
  bool AnswerQuestion(const std::u16string& text) {
    questions.push_back(text);
    return answer_yes;
  }
  std::optional<std::u16string> AnswerSave(const window::TFileDialogRequest& r) {
    save_requests.push_back(r);
    if (on_save_dialog) on_save_dialog();
    if (save_answers.empty()) return save_answer;
    std::optional<std::u16string> answer = save_answers.front();
    save_answers.pop_front();
    return answer;
  }
};

}  // namespace plattero::testing
