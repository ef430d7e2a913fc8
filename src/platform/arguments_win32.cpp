// The command line and the standard streams on Windows.

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <streambuf>

#include "platform/arguments.h"
#include "platform/win32_internal.h"

namespace plattero::platform {

namespace {

// Writes UTF-8 text to a standard handle: on a console as the characters it
// is (WriteConsoleW, whatever the console's code page), anywhere else (a
// file, a pipe) as the UTF-8 bytes themselves, with no line-end translation.
class StdHandleBuf : public std::streambuf {
 public:
  explicit StdHandleBuf(DWORD which) : which_(which) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~StdHandleBuf() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
    if (size == 0) return failed_ ? -1 : 0;
    const std::size_t done = Write(pbase(), size);
    // A character cut at the end of the buffer waits for its other bytes.
    const std::size_t left = size - done;
    if (left > 0) std::memmove(buffer_, pbase() + done, left);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(left));
    return failed_ ? -1 : 0;
  }

 private:
  // Writes what it can of data and returns how many bytes it took.
  std::size_t Write(const char* data, std::size_t size) {
    const HANDLE h = ::GetStdHandle(which_);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) {
      failed_ = true;
      return size;
    }
    DWORD mode = 0;
    if (!::GetConsoleMode(h, &mode)) {
      DWORD written = 0;
      for (std::size_t at = 0; at < size; at += written) {
        if (!::WriteFile(h, data + at, static_cast<DWORD>(size - at), &written, nullptr) ||
            written == 0) {
          failed_ = true;
          return size;
        }
      }
      return size;
    }
    // Whole UTF-8 characters only; a character begun at the end is kept.
    std::size_t whole = size;
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
      const auto b = static_cast<unsigned char>(data[size - back]);
      if ((b & 0xC0) == 0x80) continue;  // a continuation byte
      const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (length > back) whole = size - back;
      break;
    }
    const std::u16string text = Utf8ToUtf16(std::string_view(data, whole));
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    DWORD written = 0;
    for (std::size_t at = 0; at < text.size(); at += written) {
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - at, 8192));
      if (!::WriteConsoleW(h, wide + at, piece, &written, nullptr) || written == 0) {
        failed_ = true;
        return size;
      }
    }
    return whole;
  }

  DWORD which_;
  bool failed_ = false;
  char buffer_[4096];
};

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The UTF-16 command line: the ANSI arguments in argv lose every character
  // the ANSI code page lacks.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  args.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    args.push_back(OsBytesFromText(TextOfWide(wide[i])));
  ::LocalFree(wide);
  return args;
}

std::ostream& StandardOut() {
  static StdHandleBuf buffer(STD_OUTPUT_HANDLE);
  static std::ostream stream(&buffer);
  return stream;
}

std::ostream& StandardError() {
  static StdHandleBuf buffer(STD_ERROR_HANDLE);
  static std::ostream& stream = *[] {
    static std::ostream s(&buffer);
    s.setf(std::ios::unitbuf);  // at once, like std::cerr
    return &s;
  }();
  return stream;
}

}  // namespace plattero::platform
