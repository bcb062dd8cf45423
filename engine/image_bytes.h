#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/mapped_file.h"

namespace dovra {

// The bytes of a loaded binary: a mapping of the file (copy-on-write, see mapped_file.h) or, where the
// file cannot be mapped, a buffer read from it. Used like a pointer to the first byte.
class ImageBytes {
public:
    ImageBytes() = default;
    explicit ImageBytes(std::unique_ptr<std::uint8_t[]> buffer) : m_buffer(std::move(buffer)) {}
    explicit ImageBytes(MappedFilePtr mapping) : m_mapping(std::move(mapping)) {}

    std::uint8_t* get() const { return m_mapping ? MappedBytes(*m_mapping) : m_buffer.get(); }
    explicit operator bool() const { return get() != nullptr; }
    bool operator==(std::nullptr_t) const { return get() == nullptr; }
    void reset() {
        m_mapping.reset();
        m_buffer.reset();
    }
    // False when the file behind a mapping was shortened or rewritten after it was loaded; a buffer read
    // whole is a copy of its own and stays as it was.
    bool Unchanged() const { return !m_mapping || MappedFileUnchanged(*m_mapping); }
    // The mapping behind the bytes, or nullptr for a buffer read whole.
    const MappedFile* Mapping() const { return m_mapping.get(); }

private:
    std::unique_ptr<std::uint8_t[]> m_buffer;
    MappedFilePtr m_mapping;
};

} // namespace dovra
