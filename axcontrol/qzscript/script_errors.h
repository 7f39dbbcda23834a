// The errors a script sees. Every failure of an automation call reaches the
// script as an Error with
//  - number: a 32-bit error number whose low 16 bits are the runtime error
//    code that script authors test for (e.number & 0xFFFF);
//  - description: the standard text of that code;
//  - message: the same text with the member (and what was wrong) named.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/automation.h"

namespace qzscript {

// Runtime error codes, in the low word of an error number of the control
// facility (0x800A0000 | code), the form script authors know.
enum RuntimeError : int {
  kInvalidCall = 5,
  kOverflow = 6,
  kTypeMismatch = 13,
  kCannotCreateObject = 429,
  kUnknownMember = 438,
  kWrongArgumentCount = 450,
};
constexpr qzauto::HRESULT RuntimeErrorNumber(int code) {
  return qzauto::MakeHresult(1, qzauto::kFacilityControl, static_cast<uint32_t>(code));
}

struct ScriptError {
  qzauto::HRESULT number = 0;
  std::string description;
  std::string message;
};

// Where a call failed, for the message.
struct CallSite {
  std::string member;
  bool propertyPut = false;
  int expectedArguments = -1;  // -1: unknown
  int givenArguments = 0;
  int argument = 0;  // 1-based number of the argument at fault; 0: none
  std::string argumentText;
};

// A failed call: hr from dispatch (or the host's own checks). An automation
// error the object raised (DISP_E_EXCEPTION) comes as its number and
// description; they are kept, and the message names the member.
ScriptError CallError(qzauto::HRESULT hr, const CallSite& site);
ScriptError RaisedError(qzauto::HRESULT number, const std::string& description,
                        const CallSite& site);
// WScript.CreateObject failed.
ScriptError CreateError(qzauto::HRESULT hr, const std::string& progId);
// The host's own runtime error (WScript.Sleep, WScript.Quit), with a message
// that says what was wrong.
ScriptError HostError(int code, const std::string& detail);

}  // namespace qzscript
