// A call into the camera link library as a value: the export and its integer
// arguments after the camera address. Every command the application sends is
// one of these (library_calls.inc lists them all); the port in ui/ carries it
// out on qzlink.h, tests put a scripted camera in its place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qtr90x {

// The answer length of a row whose answer's data vary in length.
inline constexpr int kAnyLength = -1;

enum class LibraryFunction : std::uint8_t {
#define QZ_LIBRARY_CALL(name, argCount, answerLength, decoder, arguments) k##name,
#include "core/link/library_calls.inc"
#undef QZ_LIBRARY_CALL
};

struct LibraryCall {
  LibraryFunction function = LibraryFunction::kQzGetExtendedOperateStatus;
  int camera = 0;
  int argCount = 0;           // arguments after the camera address
  std::array<int, 3> args{};  // unused ones are 0

  bool operator==(const LibraryCall&) const = default;
};

LibraryCall MakeCall(LibraryFunction function, int camera);
LibraryCall MakeCall(LibraryFunction function, int camera, int a);
LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b);
LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b, int c);

// The export's exact name, "QzSetCascade".
std::string_view LibraryFunctionName(LibraryFunction function);
// How many integers follow the camera address.
int LibraryFunctionArgCount(LibraryFunction function);
// How many data characters an executed answer carries: 0 for a setting,
// kAnyLength where it varies.
int LibraryFunctionAnswerLength(LibraryFunction function);
// What those integers mean, for people.
std::string_view LibraryFunctionArguments(LibraryFunction function);

// "QzSetCascade(0, 1)": for debug lines and test diagnostics.
std::string DescribeCall(const LibraryCall& call);

// The bytes of a frame as it went out (the library's command buffer holds at
// most 50).
struct SentFrame {
  static constexpr std::size_t kCapacity = 50;
  std::array<std::uint8_t, kCapacity> bytes{};
  std::size_t size = 0;

  std::span<const std::uint8_t> Bytes() const { return {bytes.data(), size}; }
  // Keeps at most kCapacity bytes.
  void Assign(std::span<const std::uint8_t> from);
};

// The one place the application's commands leave through. The ui/ side
// implements it on qzlink.h; tests put a scripted camera here.
class LibraryPort {
 public:
  virtual ~LibraryPort() = default;
  // Makes the call. True when its frame was written; `sent` then holds the
  // frame's bytes.
  virtual bool Send(const LibraryCall& call, SentFrame& sent) = 0;
  // Writes raw bytes as they are (the Input Command window). True when written.
  virtual bool SendRaw(std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace qtr90x
