// Automation core: the small part of a component object model that in-process
// automation servers (controls) and their hosts need on this platform.
//
//  - Objects are reference counted and answer interface queries by id
//    (IUnknown). Interfaces are C++ abstract classes; ids are GUIDs with the
//    standard values of the well-known interfaces.
//  - Late-bound calls go through IDispatch: GetIDsOfNames maps a member name
//    (without regard to ASCII case) to its DISPID, Invoke calls a method, gets
//    or puts a property. Arguments are VARIANTs of a small subset: empty,
//    16- and 32-bit integers, by-reference 32-bit integer, booleans and
//    doubles (for conversion only). Arguments arrive in reverse order, as
//    in DISPPARAMS everywhere.
//  - Results are HRESULTs with the standard values. An automation error is
//    DISP_E_EXCEPTION from Invoke with an EXCEPINFO that carries its number
//    (scode, e.g. CTL_E_SETNOTPERMITTED) and description.
//  - A type description (library, coclasses, interfaces, members with DISPIDs,
//    parameter names and types) drives dispatch and introspection and prints
//    as IDL.
//  - Connection points deliver events of a source interface to sinks; a
//    property bag persists named values; a client site answers ambient
//    properties (the user mode).
//  - In-process servers export DllRegisterServer, DllUnregisterServer,
//    DllGetClassObject and DllCanUnloadNow. Registration lives under
//    HKEY_CURRENT_USER\Software\Classes in the platform registry store;
//    CreateObject finds a ProgID's module there, loads it and asks its class
//    factory.
//
// Threading: objects are apartment-threaded. Reference counts are atomic; all
// other calls on an object come from the thread that created it.
#ifndef QZ_PLATFORM_AUTOMATION_AUTOMATION_H
#define QZ_PLATFORM_AUTOMATION_AUTOMATION_H

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qzauto {

using HRESULT = int32_t;
using DISPID = int32_t;
using ULONG = uint32_t;

constexpr HRESULT MakeHresult(uint32_t severity, uint32_t facility, uint32_t code) {
  return static_cast<HRESULT>((severity << 31) | (facility << 16) | code);
}
constexpr bool Succeeded(HRESULT hr) {
  return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
  return hr < 0;
}

constexpr uint32_t kFacilityControl = 0xA;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007u);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);

// Errors of the control facility, raised as automation errors.
constexpr HRESULT CTL_E_FILENOTFOUND = MakeHresult(1, kFacilityControl, 53);
constexpr HRESULT CTL_E_SETNOTSUPPORTEDATRUNTIME = MakeHresult(1, kFacilityControl, 382);
constexpr HRESULT CTL_E_SETNOTPERMITTED = MakeHresult(1, kFacilityControl, 387);
constexpr HRESULT CTL_E_DLLENTRYPOINTNOTFOUND = MakeHresult(1, kFacilityControl, 453);

// ---- Identifiers ----

struct GUID {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
  friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string GuidToString(const GUID& guid);
// Parses that form (either letter case); false for anything else.
bool GuidFromString(std::string_view text, GUID* guid);

extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IConnectionPointContainer;
extern const IID IID_IConnectionPoint;
extern const IID IID_IPropertyBag;
extern const IID IID_IPersistPropertyBag;
extern const IID IID_IOleObject;
extern const IID IID_IProvideClassInfo;

// ---- Variants ----

enum VarType : uint16_t {
  VT_EMPTY = 0,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R8 = 5,
  VT_BOOL = 11,
  VT_BYREF = 0x4000,
};
constexpr int16_t VARIANT_TRUE = -1;
constexpr int16_t VARIANT_FALSE = 0;

struct VARIANT {
  uint16_t vt = VT_EMPTY;
  union {
    int16_t iVal;
    int32_t lVal;
    int16_t boolVal;
    double dblVal;
    int32_t* plVal;  // VT_BYREF | VT_I4
  };
  VARIANT() : lVal(0) {}
};

VARIANT MakeI2(int16_t value);
VARIANT MakeI4(int32_t value);
VARIANT MakeBool(bool value);
VARIANT MakeR8(double value);
VARIANT MakeI4Ref(int32_t* value);

// Converts as automation does: empty is 0, booleans are -1 or 0, doubles are
// rounded half to even; out of range gives DISP_E_OVERFLOW, an unsupported
// type DISP_E_TYPEMISMATCH. By-reference 32-bit integers are read through.
HRESULT VariantToI4(const VARIANT& value, int32_t* result);
HRESULT VariantToI2(const VARIANT& value, int16_t* result);
// The double conversion alone (what a script host applies to its numbers).
HRESULT DoubleToI4(double value, int32_t* result);

// ---- Interfaces ----

struct IUnknown {
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

enum : uint16_t {
  DISPATCH_METHOD = 1,
  DISPATCH_PROPERTYGET = 2,
  DISPATCH_PROPERTYPUT = 4,
};
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_AMBIENT_USERMODE = -709;

struct DISPPARAMS {
  VARIANT* rgvarg = nullptr;  // arguments, last one first
  DISPID* rgdispidNamedArgs = nullptr;
  uint32_t cArgs = 0;
  uint32_t cNamedArgs = 0;
};

struct EXCEPINFO {
  uint16_t wCode = 0;
  std::string source;
  std::string description;
  HRESULT scode = 0;  // the error number, e.g. CTL_E_SETNOTPERMITTED
};

// The low 16 bits of an error number: what a host shows as "error 387".
constexpr int ErrorCodeOf(HRESULT number) {
  return number & 0xFFFF;
}

struct InterfaceDesc;

struct IDispatch : IUnknown {
  // The description of the interface that Invoke serves, or null.
  virtual const InterfaceDesc* GetTypeInfo() = 0;
  // Maps names[0] to its member's DISPID; further names are parameter names
  // and map to their positions. Unknown names give DISP_E_UNKNOWNNAME and
  // DISPID_UNKNOWN in their slots.
  virtual HRESULT GetIDsOfNames(const char* const* names, uint32_t count, DISPID* dispids) = 0;
  virtual HRESULT Invoke(DISPID dispid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* excepInfo, uint32_t* argErr) = 0;

 protected:
  ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct IConnectionPoint : IUnknown {
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  // The sink must answer IDispatch (or the source interface's id).
  virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

struct IPropertyBag : IUnknown {
  // value->vt names the wanted type (VT_EMPTY: as stored). A missing
  // property gives E_INVALIDARG.
  virtual HRESULT Read(const char* name, VARIANT* value) = 0;
  virtual HRESULT Write(const char* name, const VARIANT* value) = 0;

 protected:
  ~IPropertyBag() = default;
};

struct IPersistPropertyBag : IUnknown {
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag) = 0;
  virtual HRESULT Save(IPropertyBag* bag, bool clearDirty, bool saveAllProperties) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

// The part of an embedded object's interface that a control container uses
// here: the client site (whose IDispatch answers ambient properties) and the
// misc-status bits.
struct IOleObject : IUnknown {
  virtual HRESULT SetClientSite(IUnknown* site) = 0;
  virtual HRESULT GetMiscStatus(uint32_t aspect, uint32_t* status) = 0;

 protected:
  ~IOleObject() = default;
};

struct CoclassDesc;

// Tells a host the object's class: its default and event interfaces.
struct IProvideClassInfo : IUnknown {
  virtual const CoclassDesc* GetClassInfo() = 0;

 protected:
  ~IProvideClassInfo() = default;
};

// Misc-status bits of controls.
enum : uint32_t {
  OLEMISC_RECOMPOSEONRESIZE = 0x1,
  OLEMISC_CANTLINKINSIDE = 0x10,
  OLEMISC_INSIDEOUT = 0x80,
  OLEMISC_ACTIVATEWHENVISIBLE = 0x100,
  OLEMISC_INVISIBLEATRUNTIME = 0x400,
  OLEMISC_SETCLIENTSITEFIRST = 0x20000,
};

// ---- Helpers for implementing and using objects ----

// Owns one reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller owns.
  static ComPtr Attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* p) {
    if (p != nullptr) {
      p->AddRef();
    }
    return Attach(p);
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_ != nullptr) {
      p_->AddRef();
    }
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) {
      p->Release();
    }
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  // Queries another interface of the same object.
  template <class U>
  ComPtr<U> As(const IID& iid) const {
    ComPtr<U> other;
    if (p_ != nullptr) {
      p_->QueryInterface(iid, other.OutVoid());
    }
    return other;
  }

 private:
  T* p_ = nullptr;
};

// An atomic reference count starting at one.
class RefCount {
 public:
  ULONG Add() { return ++count_; }
  ULONG Drop() { return --count_; }

 private:
  std::atomic<ULONG> count_{1};
};

// ---- Type description ----

enum class InvokeKind : uint16_t { Method = 1, PropertyGet = 2, PropertyPut = 4 };

struct ParamDesc {
  std::string name;
  uint16_t vt;  // VT_I2, VT_I4, or VT_BYREF | VT_I4 (in and out)
};

struct FuncDesc {
  std::string name;
  DISPID dispid;
  InvokeKind kind;
  std::vector<ParamDesc> params;
  uint16_t resultVt;  // VT_EMPTY: no result
};

enum : uint32_t {
  TYPEFLAG_FHIDDEN = 0x10,
  TYPEFLAG_FCONTROL = 0x20,
  TYPEFLAG_FDUAL = 0x40,
  TYPEFLAG_FNONEXTENSIBLE = 0x80,
  TYPEFLAG_FOLEAUTOMATION = 0x100,
  TYPEFLAG_FDISPATCHABLE = 0x1000,
};

struct InterfaceDesc {
  std::string name;
  IID iid;
  uint32_t flags;
  bool dispinterface;  // dispatch-only (events), else a dual interface
  std::vector<FuncDesc> funcs;

  // The member of that DISPID that serves a call with these flags, or null.
  const FuncDesc* Find(DISPID dispid, uint16_t callFlags) const;
  // The DISPID of a member name (ASCII case ignored), or DISPID_UNKNOWN.
  DISPID IdOfName(std::string_view memberName) const;
  // The name of the member with that DISPID, or empty.
  std::string NameOf(DISPID dispid) const;
};

struct CoclassDesc {
  std::string name;
  CLSID clsid;
  uint32_t flags;
  const InterfaceDesc* defaultInterface;
  const InterfaceDesc* defaultSource;
};

struct LibraryDesc {
  std::string name;
  GUID libid;
  uint16_t majorVersion;
  uint16_t minorVersion;
  uint32_t lcid;
  std::vector<const InterfaceDesc*> interfaces;
  std::vector<CoclassDesc> coclasses;
};

// The library as IDL text.
std::string PrintIdl(const LibraryDesc& library);

// Checks an Invoke call against a member and converts its arguments to
// 32-bit integers in declared order (args[i]); by-reference parameters get
// their target in refs[i] (a by-value argument for one gets a private slot,
// whose value is then lost). Returns S_OK, DISP_E_BADPARAMCOUNT,
// DISP_E_NONAMEDARGS, DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW (argErr names
// the argument).
constexpr int kMaxDispatchArgs = 8;
struct DispatchArgs {
  int32_t values[kMaxDispatchArgs] = {};
  int32_t* refs[kMaxDispatchArgs] = {};
  int32_t scratch[kMaxDispatchArgs] = {};
};
HRESULT UnpackArgs(const FuncDesc& func, const DISPPARAMS* params, DispatchArgs* args,
                   uint32_t* argErr);
// Stores a member's result in the caller's VARIANT (null: dropped).
void PackResult(const FuncDesc& func, int32_t value, VARIANT* result);
// Fills an automation error and returns DISP_E_EXCEPTION.
HRESULT RaiseError(EXCEPINFO* excepInfo, HRESULT number, std::string description,
                   std::string source = {});

// ---- Building blocks ----

// A connection point for one dispatch source interface, owned by its
// container object (its reference count is the container's).
class ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IUnknown* container, const IID& iid) : container_(container), iid_(iid) {}
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QueryInterface(const IID& iid, void** object) override;
  ULONG AddRef() override { return container_->AddRef(); }
  ULONG Release() override { return container_->Release(); }
  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;

  const IID& Iid() const { return iid_; }
  bool HasSinks() const { return !sinks_.empty(); }
  // Calls the event on every sink; arguments in declared order. Sinks may
  // advise and unadvise meanwhile.
  void Fire(DISPID dispid, std::initializer_list<int32_t> args);
  // Drops every sink.
  void Clear();

 private:
  IUnknown* container_;
  IID iid_;
  uint32_t nextCookie_ = 1;
  std::vector<std::pair<uint32_t, IDispatch*>> sinks_;
};

// A property bag in memory (what a host keeps for a saved form).
class MemoryPropertyBag final : public IPropertyBag {
 public:
  static ComPtr<MemoryPropertyBag> Create();
  HRESULT QueryInterface(const IID& iid, void** object) override;
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override;
  HRESULT Read(const char* name, VARIANT* value) override;
  HRESULT Write(const char* name, const VARIANT* value) override;
  bool Has(const std::string& name) const { return values_.count(name) != 0; }

 private:
  MemoryPropertyBag() = default;
  ~MemoryPropertyBag() = default;
  RefCount refs_;
  std::map<std::string, VARIANT> values_;
};

// A control's client site: its IDispatch answers the ambient user mode
// (true: run mode, false: design mode).
class AmbientSite final : public IDispatch {
 public:
  static ComPtr<AmbientSite> Create(bool userMode);
  void SetUserMode(bool userMode) { userMode_ = userMode; }
  HRESULT QueryInterface(const IID& iid, void** object) override;
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override;
  const InterfaceDesc* GetTypeInfo() override { return nullptr; }
  HRESULT GetIDsOfNames(const char* const* names, uint32_t count, DISPID* dispids) override;
  HRESULT Invoke(DISPID dispid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, uint32_t* argErr) override;

 private:
  explicit AmbientSite(bool userMode) : userMode_(userMode) {}
  ~AmbientSite() = default;
  RefCount refs_;
  bool userMode_;
};

// The ambient user mode that a site reports; run mode (true) when the site
// is null or does not answer.
bool AmbientUserMode(IUnknown* site);

// ---- Servers, registration, creation ----

// What an in-process server registers for one class.
struct ServerInfo {
  std::string progId;           // version-independent
  std::string versionedProgId;  // progId.N
  std::string description;
  CLSID clsid;
  GUID libid;
  std::string libVersion;  // "1.0"
  uint32_t miscStatus;
  int toolboxBitmapId;
  std::string threadingModel;  // "Apartment"
};

// Version resource values and resources of a module.
struct ModuleMetadata {
  std::string fileVersion;
  std::string productVersion;
  uint16_t fixedVersion[4];
  std::string comments;
  std::string productName;
  std::string internalName;
  std::string originalFilename;
  std::string companyName;
  std::string translation;  // language and code page block, e.g. "040904B0"
  bool oleSelfRegister;
  uint32_t miscStatus;
  int toolboxBitmapId;
  std::vector<uint8_t> toolboxBitmap;  // a BMP file
};

// Writes the ProgIDs, the class, its module path and the type library's
// entry under HKEY_CURRENT_USER\Software\Classes. SELFREG_E_CLASS when the
// store cannot be written.
HRESULT RegisterServer(const ServerInfo& info, const std::string& modulePath);
// Removes what RegisterServer wrote; missing keys are no error.
HRESULT UnregisterServer(const ServerInfo& info);
// The class id registered for a ProgID; CO_E_CLASSSTRING when there is none.
HRESULT ClsidFromProgId(const std::string& progId, CLSID* clsid);
// The module path registered for a class; REGDB_E_CLASSNOTREG when none.
HRESULT ModulePathOfClass(const CLSID& clsid, std::string* path);
// Creates an object of a registered ProgID: loads its module (kept loaded),
// asks DllGetClassObject for the class factory and creates the instance.
HRESULT CreateObject(const std::string& progId, const IID& iid, void** object);
// The absolute path of the loaded module that holds the address.
std::string ModulePathOf(const void* address);
// A 24-bit BMP file of the given size filled with a simple camera glyph.
std::vector<uint8_t> MakeToolboxBitmap(int width, int height);

// Signatures of the server exports.
using DllGetClassObjectFn = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);
using DllRegisterServerFn = HRESULT (*)();
using DllCanUnloadNowFn = HRESULT (*)();
using DllGetModuleMetadataFn = const ModuleMetadata* (*)();
using DllGetTypeLibraryFn = const LibraryDesc* (*)();

}  // namespace qzauto

#endif  // QZ_PLATFORM_AUTOMATION_AUTOMATION_H
