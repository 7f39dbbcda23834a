// Type descriptions: member lookup, argument unpacking for Invoke, and IDL
// text.
#include <strings.h>
#include <cstdio>

#include "platform/automation/automation.h"

namespace qzauto {

const FuncDesc* InterfaceDesc::Find(DISPID dispid, uint16_t callFlags) const {
  for (const FuncDesc& func : funcs) {
    if (func.dispid == dispid && (callFlags & static_cast<uint16_t>(func.kind)) != 0) {
      return &func;
    }
  }
  return nullptr;
}

DISPID InterfaceDesc::IdOfName(std::string_view memberName) const {
  for (const FuncDesc& func : funcs) {
    if (func.name.size() == memberName.size() &&
        strncasecmp(func.name.data(), memberName.data(), memberName.size()) == 0) {
      return func.dispid;
    }
  }
  return DISPID_UNKNOWN;
}

std::string InterfaceDesc::NameOf(DISPID dispid) const {
  for (const FuncDesc& func : funcs) {
    if (func.dispid == dispid) {
      return func.name;
    }
  }
  return {};
}

HRESULT UnpackArgs(const FuncDesc& func, const DISPPARAMS* params, DispatchArgs* args,
                   uint32_t* argErr) {
  static const DISPPARAMS kNoArgs;
  if (params == nullptr) {
    params = &kNoArgs;
  }
  const uint32_t count = static_cast<uint32_t>(func.params.size());
  if (count > kMaxDispatchArgs) {
    return E_UNEXPECTED;
  }
  if (func.kind == InvokeKind::PropertyPut) {
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs == nullptr ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTFOUND;
    }
  } else if (params->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  if (params->cArgs != count || (count > 0 && params->rgvarg == nullptr)) {
    return DISP_E_BADPARAMCOUNT;
  }
  for (uint32_t i = 0; i < count; ++i) {
    // Arguments come last one first.
    const uint32_t slot = count - 1 - i;
    const VARIANT& arg = params->rgvarg[slot];
    const ParamDesc& param = func.params[i];
    HRESULT hr = S_OK;
    if (param.vt == (VT_BYREF | VT_I4)) {
      if (arg.vt == (VT_BYREF | VT_I4) && arg.plVal != nullptr) {
        args->refs[i] = arg.plVal;
        args->values[i] = *arg.plVal;
      } else {
        hr = VariantToI4(arg, &args->scratch[i]);
        args->refs[i] = &args->scratch[i];
        args->values[i] = args->scratch[i];
      }
    } else if (param.vt == VT_I2) {
      int16_t narrow = 0;
      hr = VariantToI2(arg, &narrow);
      args->values[i] = narrow;
    } else {
      hr = VariantToI4(arg, &args->values[i]);
    }
    if (Failed(hr)) {
      if (argErr != nullptr) {
        *argErr = slot;
      }
      return hr;
    }
  }
  return S_OK;
}

void PackResult(const FuncDesc& func, int32_t value, VARIANT* result) {
  if (result == nullptr) {
    return;
  }
  switch (func.resultVt) {
    case VT_I2:
      *result = MakeI2(static_cast<int16_t>(value));
      break;
    case VT_I4:
      *result = MakeI4(value);
      break;
    default:
      *result = VARIANT();
      break;
  }
}

HRESULT RaiseError(EXCEPINFO* excepInfo, HRESULT number, std::string description,
                   std::string source) {
  if (excepInfo != nullptr) {
    excepInfo->wCode = 0;
    excepInfo->scode = number;
    excepInfo->description = std::move(description);
    excepInfo->source = std::move(source);
  }
  return DISP_E_EXCEPTION;
}

namespace {

std::string TypeName(uint16_t vt) {
  switch (vt) {
    case VT_I2:
      return "short";
    case VT_I4:
      return "long";
    case VT_BOOL:
      return "VARIANT_BOOL";
    case VT_R8:
      return "double";
    case VT_BYREF | VT_I4:
      return "long*";
    default:
      return "void";
  }
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

std::string Uuid(const GUID& guid) {
  const std::string braced = GuidToString(guid);
  return "uuid(" + braced.substr(1, braced.size() - 2) + ")";
}

std::string Attributes(const InterfaceDesc& iface) {
  std::string text = "      " + Uuid(iface.iid);
  if (iface.flags & TYPEFLAG_FHIDDEN)
    text += ",\n      hidden";
  if (iface.flags & TYPEFLAG_FNONEXTENSIBLE)
    text += ",\n      nonextensible";
  if (iface.flags & TYPEFLAG_FDUAL)
    text += ",\n      dual";
  if (iface.flags & TYPEFLAG_FOLEAUTOMATION)
    text += ",\n      oleautomation";
  return text;
}

std::string ParamList(const FuncDesc& func, bool withRetval) {
  std::string text;
  for (const ParamDesc& param : func.params) {
    if (!text.empty())
      text += ", ";
    const bool byRef = (param.vt & VT_BYREF) != 0;
    text += std::string(byRef ? "[in, out] " : "[in] ") + TypeName(param.vt) + " " + param.name;
  }
  if (withRetval && func.resultVt != VT_EMPTY) {
    if (!text.empty())
      text += ", ";
    text += "[out, retval] " + TypeName(func.resultVt) + "* ";
  }
  return text;
}

std::string Member(const FuncDesc& func, bool dual) {
  std::string attrs = "[id(" + Hex(static_cast<uint32_t>(func.dispid), 8) + ")";
  if (func.kind == InvokeKind::PropertyGet)
    attrs += ", propget";
  if (func.kind == InvokeKind::PropertyPut)
    attrs += ", propput";
  attrs += "]";
  if (dual) {
    return "        " + attrs + "\n        HRESULT " + func.name + "(" + ParamList(func, true) +
           ");\n";
  }
  return "        " + attrs + "\n        " + TypeName(func.resultVt) + " " + func.name + "(" +
         ParamList(func, false) + ");\n";
}

}  // namespace

std::string PrintIdl(const LibraryDesc& library) {
  std::string out;
  out += "[\n  " + Uuid(library.libid) + ",\n  version(" + std::to_string(library.majorVersion) +
         "." + std::to_string(library.minorVersion) + "),\n  lcid(" + Hex(library.lcid, 4) +
         ")\n]\nlibrary " + library.name + "\n{\n    importlib(\"stdole2.tlb\");\n";
  for (const InterfaceDesc* iface : library.interfaces) {
    out += "\n    [\n" + Attributes(*iface) + "\n    ]\n";
    if (iface->dispinterface) {
      out += "    dispinterface " + iface->name + " {\n        properties:\n        methods:\n";
    } else {
      out += "    interface " + iface->name + " : IDispatch {\n";
    }
    for (const FuncDesc& func : iface->funcs) {
      out += Member(func, !iface->dispinterface);
    }
    out += "    };\n";
  }
  for (const CoclassDesc& coclass : library.coclasses) {
    out += "\n    [\n      " + Uuid(coclass.clsid);
    if (coclass.flags & TYPEFLAG_FCONTROL)
      out += ",\n      control";
    out += "\n    ]\n    coclass " + coclass.name + " {\n";
    if (coclass.defaultInterface != nullptr) {
      out += "        [default] interface " + coclass.defaultInterface->name + ";\n";
    }
    if (coclass.defaultSource != nullptr) {
      out += "        [default, source] dispinterface " + coclass.defaultSource->name + ";\n";
    }
    out += "    };\n";
  }
  out += "};\n";
  return out;
}

}  // namespace qzauto
