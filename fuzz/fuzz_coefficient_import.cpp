// libFuzzer target over the coefficient importer. Whatever the bytes, the
// import must neither crash, hang nor invoke undefined behaviour; it refuses
// with a message naming the problem or gives a document the program can
// hold: "Custom", at most 20 slots a side, every number finite, a pair by
// its upper root, a single root on the real axis, a gain that is not 0. Such
// a document writes a design file that reads back to it, and its own
// coefficient text is imported again without harm.

#include "model/coefficient_import.h"
#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/document.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool validList(const RootList& list)
{
    if (list.count < 0 || list.count > MAX_ROOTS)
        return false;
    for (int i = 0; i < list.count; ++i) {
        const Complex p = list.positions[i];
        if (!std::isfinite(p.re) || !std::isfinite(p.im))
            return false;
        if (list.pairFlags[i] ? p.im < 0.0 : p.im != 0.0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CoefficientImport imported = importCoefficients(text, 48000, 1000, 0);
    if (!imported.document) {
        if (imported.error.empty() || !imported.warning.empty())
            std::abort();
        return 0;
    }
    const Document& document = *imported.document;
    const FilterState& filter = document.filter;
    const bool warnsOfDifference = imported.warning.find("differs") != std::string::npos;
    if (!imported.error.empty() || filter.modelIndex != MODEL_CUSTOM || filter.qVisible
        || !std::isfinite(filter.gain) || filter.gain == 0.0 || !validList(filter.zeros) || !validList(filter.poles)
        || !std::isfinite(imported.worstDifference)
        || (imported.worstDifference > IMPORT_CHECK_TOLERANCE) != warnsOfDifference)
        std::abort();

    const std::string written = writeDesign(document);
    const DesignReadResult back = readDesign(written);
    if (!back.document || !(*back.document == document))
        std::abort();

    const ImportCommandOutput command = importCommandOutput(text, "in", 48000);
    if (!command.ok || command.designText != written)
        std::abort();

    const CoefficientImport again = importCoefficients(coefficientText(document), 44100, 1000, 0);
    if (!again.document && again.error.empty())
        std::abort();
    return 0;
}
