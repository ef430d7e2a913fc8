#include "messages/format_messages.h"

namespace plattero {

namespace {

const char* SectionName(TReadSection section) {
  switch (section) {
    case TReadSection::kFile:
      break;
    case TReadSection::kHeader:
      return "header";
    case TReadSection::kEntityList:
      return "entity list";
    case TReadSection::kBlockDefs:
      return "block definitions";
    case TReadSection::kBlockDefEntities:
      return "block definition entities";
    case TReadSection::kImages:
      return "images";
  }
  return "";
}

std::string FailureWords(const TJwwReadStatus& status) {
  switch (status.failure) {
    case TReadFailure::kNone:
      break;
    case TReadFailure::kCannotOpen:
      return "cannot open the file: " + platform::FileErrorText(status.file);
    case TReadFailure::kCannotRead:
      return "cannot read the file: " + platform::FileErrorText(status.file);
    case TReadFailure::kNoMemory:
      return "not enough memory for the file";
    case TReadFailure::kNoSignature:
      return "not a drawing (signature)";
    case TReadFailure::kVersion:
      return "version " + std::to_string(status.version) + " outside 220..700";
    case TReadFailure::kEndsInHeader:
      return "data ends inside the header";
    case TReadFailure::kEndsBeforeCount:
      return "data ends before the count";
    case TReadFailure::kEndsBeforeList:
      return "data ends before the list";
    case TReadFailure::kClassNameTooLong:
      return "class name too long";
    case TReadFailure::kUnknownClass:
      return "unknown class name";
    case TReadFailure::kEndsInImage:
      return "data ends inside an image";
    case TReadFailure::kCut:
      return "data ends early (the file is cut)";
    case TReadFailure::kUnknown:
      return "read failed";
  }
  return {};
}

}  // namespace

std::string ReadFailureText(const TJwwReadStatus& status) {
  std::string words = FailureWords(status);
  const std::string section = SectionName(status.section);
  if (words.empty() || section.empty()) return words;
  return section + ": " + words;
}

std::string WriteFailureText(TWriteFailure failure, const platform::TFileStatus& file) {
  switch (failure) {
    case TWriteFailure::kNone:
      break;
    case TWriteFailure::kFile:
      return platform::FileErrorText(file);
    case TWriteFailure::kNoDrawing:
      return "the document holds no drawing";
    case TWriteFailure::kImageShrank:
      return "an image file shrank";
    case TWriteFailure::kNotStored:
      return "the bytes could not be stored";
  }
  return {};
}

}  // namespace plattero
