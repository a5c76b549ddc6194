// Reading a parameter description by the plug-in's own struct sizes.
#include "description_copy.h"

#include <cstddef>
#include <cstdint>

namespace {

/// Far beyond any real plug-in; a larger count is taken for garbage.
constexpr int kMostDescribed = 10000;

/// Largest struct size accepted. Rationale: a later version appends a few
/// fields; a size beyond this is garbage, and walking by it would read far
/// past the plug-in's tables.
constexpr int kLargestStruct = 4096;

/// Why `count` entries of `size` bytes at `table` cannot be read as arrays of
/// `Struct`, or empty.
template <typename Struct>
std::string TableFault(const void* table, int count, int size, const char* what) {
    if (count == 0) return {};
    if (table == nullptr) return "a table is missing";
    if (size < static_cast<int>(sizeof(Struct)) || size > kLargestStruct ||
        size % static_cast<int>(alignof(Struct)) != 0) {
        return std::string("its ") + what + " size " + std::to_string(size) + " cannot be read";
    }
    if (reinterpret_cast<std::uintptr_t>(table) % alignof(Struct) != 0) {
        return std::string("its ") + what + " table is misaligned";
    }
    return {};
}

/// Copies the fields this program knows of `count` entries of `size` bytes.
template <typename Struct>
void CopyTable(const void* table, int count, int size, std::vector<Struct>& copy) {
    const auto* bytes = static_cast<const unsigned char*>(table);
    copy.clear();
    copy.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        copy.push_back(*reinterpret_cast<const Struct*>(bytes + static_cast<std::ptrdiff_t>(i) * size));
    }
}

}  // namespace

std::string DescriptionCopy::ReadFrom(const ZarevoParameterDescription& description) {
    description_ = ZarevoParameterDescription{};
    parameters_.clear();
    presets_.clear();
    // Fields are read one by one: a version-2 description ends before
    // parameterSize, so the struct is never copied whole.
    const int version = description.version;
    if (version < 2) return "its version is below 2";
    const int parameterCount = description.parameterCount;
    const int presetCount = description.presetCount;
    if (parameterCount < 0 || parameterCount > kMostDescribed || presetCount < 0 || presetCount > kMostDescribed) {
        return "a count is out of range";
    }
    // Version 2 has no sizes; its structs have this program's layout.
    const int parameterSize = version >= 3 ? description.parameterSize : static_cast<int>(sizeof(ZarevoParameter));
    const int presetSize = version >= 3 ? description.presetSize : static_cast<int>(sizeof(ZarevoPreset));
    std::string fault = TableFault<ZarevoParameter>(description.parameters, parameterCount, parameterSize, "parameter");
    if (fault.empty()) fault = TableFault<ZarevoPreset>(description.presets, presetCount, presetSize, "preset");
    if (!fault.empty()) return fault;
    CopyTable(description.parameters, parameterCount, parameterSize, parameters_);
    CopyTable(description.presets, presetCount, presetSize, presets_);
    description_.version = version;
    description_.parameterCount = parameterCount;
    description_.parameters = parameters_.data();
    description_.presetCount = presetCount;
    description_.presets = presets_.data();
    description_.parameterSize = static_cast<int>(sizeof(ZarevoParameter));
    description_.presetSize = static_cast<int>(sizeof(ZarevoPreset));
    return {};
}
