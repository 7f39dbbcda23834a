// The in-memory property bag and the ambient client site.
#include <strings.h>

#include "platform/automation/automation.h"

namespace qzauto {

ComPtr<MemoryPropertyBag> MemoryPropertyBag::Create() {
  return ComPtr<MemoryPropertyBag>::Attach(new MemoryPropertyBag());
}

HRESULT MemoryPropertyBag::QueryInterface(const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
    *object = static_cast<IPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG MemoryPropertyBag::Release() {
  const ULONG left = refs_.Drop();
  if (left == 0) {
    delete this;
  }
  return left;
}

HRESULT MemoryPropertyBag::Read(const char* name, VARIANT* value) {
  if (name == nullptr || value == nullptr) {
    return E_POINTER;
  }
  auto it = values_.find(name);
  if (it == values_.end()) {
    return E_INVALIDARG;
  }
  const VARIANT& stored = it->second;
  switch (value->vt) {
    case VT_EMPTY:
      *value = stored;
      return S_OK;
    case VT_I2: {
      int16_t v = 0;
      const HRESULT hr = VariantToI2(stored, &v);
      if (Succeeded(hr))
        *value = MakeI2(v);
      return hr;
    }
    case VT_I4: {
      int32_t v = 0;
      const HRESULT hr = VariantToI4(stored, &v);
      if (Succeeded(hr))
        *value = MakeI4(v);
      return hr;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT MemoryPropertyBag::Write(const char* name, const VARIANT* value) {
  if (name == nullptr || value == nullptr) {
    return E_POINTER;
  }
  if ((value->vt & VT_BYREF) != 0) {
    return DISP_E_BADVARTYPE;  // a bag keeps values, not references
  }
  values_[name] = *value;
  return S_OK;
}

ComPtr<AmbientSite> AmbientSite::Create(bool userMode) {
  return ComPtr<AmbientSite>::Attach(new AmbientSite(userMode));
}

HRESULT AmbientSite::QueryInterface(const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG AmbientSite::Release() {
  const ULONG left = refs_.Drop();
  if (left == 0) {
    delete this;
  }
  return left;
}

HRESULT AmbientSite::GetIDsOfNames(const char* const* names, uint32_t count, DISPID* dispids) {
  if (names == nullptr || dispids == nullptr || count == 0) {
    return E_POINTER;
  }
  HRESULT hr = S_OK;
  for (uint32_t i = 0; i < count; ++i) {
    dispids[i] = DISPID_UNKNOWN;
    if (i == 0 && names[0] != nullptr && strcasecmp(names[0], "UserMode") == 0) {
      dispids[0] = DISPID_AMBIENT_USERMODE;
    } else {
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

HRESULT AmbientSite::Invoke(DISPID dispid, uint16_t flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                            uint32_t*) {
  if (dispid != DISPID_AMBIENT_USERMODE) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if ((flags & DISPATCH_PROPERTYGET) == 0) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (result != nullptr) {
    *result = MakeBool(userMode_);
  }
  return S_OK;
}

bool AmbientUserMode(IUnknown* site) {
  if (site == nullptr) {
    return true;
  }
  ComPtr<IDispatch> dispatch;
  if (Failed(site->QueryInterface(IID_IDispatch, dispatch.OutVoid())) || !dispatch) {
    return true;
  }
  VARIANT value;
  DISPPARAMS none;
  if (Failed(dispatch->Invoke(DISPID_AMBIENT_USERMODE, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                              nullptr))) {
    return true;
  }
  int32_t mode = 0;
  if (Failed(VariantToI4(value, &mode))) {
    return true;
  }
  return mode != 0;
}

}  // namespace qzauto
