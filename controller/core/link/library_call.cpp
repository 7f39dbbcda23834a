#include "core/link/library_call.h"

#include <algorithm>

namespace qtr90x {

namespace {

struct CallRow {
  std::string_view name;
  int argCount;
  int answerLength;
  std::string_view arguments;
};

constexpr CallRow kRows[] = {
#define QZ_LIBRARY_CALL(name, argCount, answerLength, decoder, arguments) \
  {#name, argCount, answerLength, arguments},
#include "core/link/library_calls.inc"
#undef QZ_LIBRARY_CALL
};

const CallRow& Row(LibraryFunction function) {
  const auto index = static_cast<std::size_t>(function);
  return kRows[index < std::size(kRows) ? index : 0];
}

}  // namespace

LibraryCall MakeCall(LibraryFunction function, int camera) {
  return LibraryCall{function, camera, 0, {}};
}

LibraryCall MakeCall(LibraryFunction function, int camera, int a) {
  return LibraryCall{function, camera, 1, {a, 0, 0}};
}

LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b) {
  return LibraryCall{function, camera, 2, {a, b, 0}};
}

LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b, int c) {
  return LibraryCall{function, camera, 3, {a, b, c}};
}

std::string_view LibraryFunctionName(LibraryFunction function) {
  return Row(function).name;
}

int LibraryFunctionArgCount(LibraryFunction function) {
  return Row(function).argCount;
}

int LibraryFunctionAnswerLength(LibraryFunction function) {
  return Row(function).answerLength;
}

std::string_view LibraryFunctionArguments(LibraryFunction function) {
  return Row(function).arguments;
}

std::string DescribeCall(const LibraryCall& call) {
  std::string text(LibraryFunctionName(call.function));
  text += '(';
  text += std::to_string(call.camera);
  for (int i = 0; i < call.argCount && i < static_cast<int>(call.args.size()); ++i) {
    text += ", ";
    text += std::to_string(call.args[static_cast<std::size_t>(i)]);
  }
  text += ')';
  return text;
}

void SentFrame::Assign(std::span<const std::uint8_t> from) {
  size = std::min(from.size(), kCapacity);
  std::copy_n(from.begin(), size, bytes.begin());
}

}  // namespace qtr90x
