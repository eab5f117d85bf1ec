// libFuzzer target over the design file reader. Whatever the bytes, reading
// must neither crash nor invoke undefined behaviour; it refuses with a
// message or accepts, and an accepted document must write a text that reads
// back to an equal document and the same text again. The coefficient export
// of every accepted document runs as well.

#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const DesignReadResult read = readDesign(text);
    if (!read.document.has_value()) {
        if (read.error.empty())
            std::abort();
        return 0;
    }
    if (!read.error.empty())
        std::abort();
    const std::string written = writeDesign(*read.document);
    const DesignReadResult again = readDesign(written);
    if (!again.document.has_value() || !(*again.document == *read.document) || writeDesign(*again.document) != written)
        std::abort();
    if (coefficientText(*read.document).empty())
        std::abort();
    return 0;
}
