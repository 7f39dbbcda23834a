// Parses arbitrary text as the registry store's file. Whatever is accepted
// must be written back as a text that parses again to the same content, so
// that a store read from a hand-edited file never loses or changes a value on
// its next write.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(input), size);
  qzplatform::RegistryModel model;
  qzplatform::RegistryParseError error;
  if (!qzplatform::ParseRegistryText(text, model, error)) {
    // The fault names a line of the text.
    if (error.line == 0 || error.reason.empty()) {
      std::abort();
    }
    return 0;
  }
  const std::string written = qzplatform::SerializeRegistry(model);
  qzplatform::RegistryModel again;
  if (!qzplatform::ParseRegistryText(written, again, error)) {
    std::abort();
  }
  if (qzplatform::SerializeRegistry(again) != written) {
    std::abort();
  }
  // Every key and value survives the round trip with its bytes.
  for (const auto& [path, values] : model.Keys()) {
    for (const qzplatform::RegistryValue& value : values) {
      const qzplatform::RegistryValue* read = again.FindValue(path, value.name);
      if (read == nullptr || read->type != value.type || read->data != value.data) {
        std::abort();
      }
    }
  }
  return 0;
}
