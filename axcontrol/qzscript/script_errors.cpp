#include "axcontrol/qzscript/script_errors.h"

#include <cstdio>

namespace qzscript {

using namespace qzauto;

namespace {

std::string StandardText(int code) {
  switch (code) {
    case kInvalidCall:
      return "Invalid procedure call or argument";
    case kOverflow:
      return "Overflow";
    case kTypeMismatch:
      return "Type mismatch";
    case kCannotCreateObject:
      return "Cannot create the object";
    case kUnknownMember:
      return "Object doesn't support this property or method";
    case kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    default:
      return "Automation error";
  }
}

std::string Quoted(const std::string& name) {
  return "'" + name + "'";
}

std::string Plural(int count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// "argument 2 of 'SetZooming' is 'abc'".
std::string ArgumentAtFault(const CallSite& site) {
  if (site.argument <= 0) {
    return "an argument of " + Quoted(site.member);
  }
  std::string text = "argument " + std::to_string(site.argument) + " of " + Quoted(site.member);
  if (!site.argumentText.empty()) {
    text += " is " + site.argumentText;
  }
  return text;
}

ScriptError Runtime(int code, const std::string& detail) {
  const std::string text = StandardText(code);
  return {RuntimeErrorNumber(code), text, text + ": " + detail};
}

}  // namespace

ScriptError CallError(HRESULT hr, const CallSite& site) {
  switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
      if (site.propertyPut) {
        return Runtime(kWrongArgumentCount, Quoted(site.member) + " cannot be assigned to");
      }
      return Runtime(kUnknownMember, Quoted(site.member));
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTFOUND:
    case DISP_E_NONAMEDARGS:
      if (site.expectedArguments >= 0) {
        return Runtime(kWrongArgumentCount, Quoted(site.member) + " takes " +
                                                Plural(site.expectedArguments, "argument") +
                                                ", got " + std::to_string(site.givenArguments));
      }
      return Runtime(kWrongArgumentCount, Quoted(site.member));
    case DISP_E_TYPEMISMATCH:
    case DISP_E_BADVARTYPE:
      return Runtime(kTypeMismatch, ArgumentAtFault(site));
    case DISP_E_OVERFLOW:
      return Runtime(kOverflow, ArgumentAtFault(site) + ", out of the 32-bit range");
    default:
      return {hr, "Automation error " + Hex(hr),
              "Automation error " + Hex(hr) + ": " + Quoted(site.member)};
  }
}

ScriptError RaisedError(HRESULT number, const std::string& description, const CallSite& site) {
  std::string text = description;
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) {
    text = "Automation error " + Hex(number);
  }
  return {number, description.empty() ? text : description, text + ": " + Quoted(site.member)};
}

ScriptError CreateError(HRESULT hr, const std::string& progId) {
  std::string why;
  switch (hr) {
    case CO_E_CLASSSTRING:
    case REGDB_E_CLASSNOTREG:
      why = "class not registered (register its module with qzregsvr)";
      break;
    case CO_E_DLLNOTFOUND:
    case CO_E_ERRORINDLL:
      why = "its module cannot be loaded";
      break;
    default:
      why = "automation error " + Hex(hr);
      break;
  }
  return Runtime(kCannotCreateObject, Quoted(progId) + ", " + why);
}

ScriptError HostError(int code, const std::string& detail) {
  return Runtime(code, detail);
}

}  // namespace qzscript
