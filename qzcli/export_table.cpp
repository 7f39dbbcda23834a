#include "qzcli/export_table.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "camlink/qzlink.h"

namespace qzcli {
namespace {

template <typename R, typename... A>
constexpr int ArityOf(R(QZLINK_CALL*)(A...)) {
  return sizeof...(A);
}

template <typename R, typename... A, size_t... I>
int32_t CallWith(R(QZLINK_CALL* fn)(A...), const int32_t* args, std::index_sequence<I...>) {
  return static_cast<int32_t>(fn(static_cast<A>(args[I])...));
}

// Calls an integer-only export with its arguments from an array.
template <auto Fn>
int32_t Invoke(const int32_t* args) {
  return CallWith(Fn, args, std::make_index_sequence<ArityOf(Fn)>{});
}

// The integer arguments a command line gives, from an export's parameter
// list as written ("(int32_t lUnit, int32_t lMode)"): the names of the
// int32_t parameters. Pointers and the window are qzcli's own to supply.
std::string IntegerArguments(std::string_view params) {
  std::string names;
  params = params.substr(1, params.size() - 2);  // the parentheses
  while (!params.empty()) {
    const size_t comma = params.find(',');
    std::string_view part = params.substr(0, comma);
    params = comma == std::string_view::npos ? std::string_view{} : params.substr(comma + 1);
    part.remove_prefix(std::min(part.find_first_not_of(' '), part.size()));
    if (part.starts_with("int32_t ") && part.find('*') == std::string_view::npos) {
      names += (names.empty() ? "" : ", ") + std::string(part.substr(part.rfind(' ') + 1));
    }
  }
  return names;
}

int IntegerArity(std::string_view arguments) {
  return arguments.empty()
             ? 0
             : 1 + static_cast<int>(std::count(arguments.begin(), arguments.end(), ','));
}

// Exports that take and give only integers are called through Invoke; the
// others by qzcli's call runner, which knows their shape.
template <ExportKind Kind, auto Fn>
constexpr int32_t (*InvokerFor())(const int32_t*) {
  if constexpr (Kind == ExportKind::kCommand || Kind == ExportKind::kQuery) {
    return &Invoke<Fn>;
  } else {
    return nullptr;
  }
}

ExportEntry MakeEntry(std::string_view name, ExportKind kind, std::string_view params,
                      int32_t (*invoke)(const int32_t*)) {
  std::string arguments = IntegerArguments(params);
  const int arity = kind == ExportKind::kBytes ? -1 : IntegerArity(arguments);
  if (kind == ExportKind::kBytes) {
    arguments = "hex bytes";
  }
  return ExportEntry{name, arity, kind, std::move(arguments), invoke};
}

// Every export of the library's export list, in its order.
const std::vector<ExportEntry>& ExportList() {
  static const std::vector<ExportEntry> list = {
#define QZ_SESSION_EXPORT(name, windowsName, shape, returnType, params) \
  MakeEntry(#name, ExportKind::k##shape, #params, InvokerFor<ExportKind::k##shape, &name>()),
#define QZ_COMMAND_EXPORT(name, windowsName, params, choice, ...) \
  MakeEntry(#name, ExportKind::kCommand, #params, &Invoke<&name>),
#include "camlink/qzlink_exports.inc"
#undef QZ_SESSION_EXPORT
#undef QZ_COMMAND_EXPORT
  };
  return list;
}

// The names that the Windows export list decorates.
constexpr std::pair<std::string_view, std::string_view> kDecoratedNames[] = {
    {"_QzGetStatus@0", "QzGetStatus"},
    {"_QzGetLastError@4", "QzGetLastError"},
    {"_QzGet2ByteStatus@4", "QzGet2ByteStatus"},
};

}  // namespace

std::span<const ExportEntry> Exports() {
  return ExportList();
}

const ExportEntry* FindExport(std::string_view name) {
  for (const auto& [decorated, plain] : kDecoratedNames) {
    if (name == decorated) {
      name = plain;
    }
  }
  for (const ExportEntry& entry : ExportList()) {
    if (entry.name == name) {
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace qzcli
