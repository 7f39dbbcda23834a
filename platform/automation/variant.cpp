// GUID text, the well-known interface ids, and variant conversion.
#include <cmath>
#include <cstdio>

#include "platform/automation/automation.h"

namespace qzauto {

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IOleObject = {0x00000112, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IProvideClassInfo = {
    0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IPropertyBag = {
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
const IID IID_IPersistPropertyBag = {
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};

std::string GuidToString(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}
}  // namespace

bool GuidFromString(std::string_view text, GUID* guid) {
  // {8-4-4-4-12}: 38 characters.
  static constexpr std::string_view kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != kShape.size() || guid == nullptr) {
    return false;
  }
  uint8_t bytes[16];
  int nibbles = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] != 'X') {
      if (text[i] != kShape[i]) {
        return false;
      }
      continue;
    }
    const int v = HexValue(text[i]);
    if (v < 0) {
      return false;
    }
    if (nibbles % 2 == 0) {
      bytes[nibbles / 2] = static_cast<uint8_t>(v << 4);
    } else {
      bytes[nibbles / 2] |= static_cast<uint8_t>(v);
    }
    ++nibbles;
  }
  guid->data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                (uint32_t{bytes[2]} << 8) | bytes[3];
  guid->data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  guid->data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) {
    guid->data4[i] = bytes[8 + i];
  }
  return true;
}

VARIANT MakeI2(int16_t value) {
  VARIANT v;
  v.vt = VT_I2;
  v.iVal = value;
  return v;
}
VARIANT MakeI4(int32_t value) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}
VARIANT MakeBool(bool value) {
  VARIANT v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
VARIANT MakeR8(double value) {
  VARIANT v;
  v.vt = VT_R8;
  v.dblVal = value;
  return v;
}
VARIANT MakeI4Ref(int32_t* value) {
  VARIANT v;
  v.vt = VT_BYREF | VT_I4;
  v.plVal = value;
  return v;
}

HRESULT DoubleToI4(double value, int32_t* result) {
  if (std::isnan(value)) {
    return DISP_E_TYPEMISMATCH;
  }
  // Round half to even, then check the range.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    return DISP_E_OVERFLOW;
  }
  *result = static_cast<int32_t>(rounded);
  return S_OK;
}

HRESULT VariantToI4(const VARIANT& value, int32_t* result) {
  switch (value.vt) {
    case VT_EMPTY:
      *result = 0;
      return S_OK;
    case VT_I2:
      *result = value.iVal;
      return S_OK;
    case VT_I4:
      *result = value.lVal;
      return S_OK;
    case VT_BOOL:
      *result = value.boolVal != 0 ? -1 : 0;
      return S_OK;
    case VT_R8:
      return DoubleToI4(value.dblVal, result);
    case VT_BYREF | VT_I4:
      if (value.plVal == nullptr) {
        return E_POINTER;
      }
      *result = *value.plVal;
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT VariantToI2(const VARIANT& value, int16_t* result) {
  int32_t wide = 0;
  const HRESULT hr = VariantToI4(value, &wide);
  if (Failed(hr)) {
    return hr;
  }
  if (wide < INT16_MIN || wide > INT16_MAX) {
    return DISP_E_OVERFLOW;
  }
  *result = static_cast<int16_t>(wide);
  return S_OK;
}

}  // namespace qzauto
