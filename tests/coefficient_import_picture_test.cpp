#include "model/coefficient_import.h"
#include "model/coefficients.h"
#include "model/designs.h"
#include "model/document.h"
#include "view/render_picture.h"

#include <gtest/gtest.h>

#include <QImage>

#include <complex>
#include <numbers>
#include <random>
#include <string>

namespace {

// The picture of a design read back from its coefficient text is the
// picture of the design: the full paint at two client sizes, pixel for pixel.
void expectSamePicture(const Document& original)
{
    const CoefficientImport imported =
        importCoefficients(coefficientText(original), 44100, original.cutoffPosition, original.qPosition);
    ASSERT_TRUE(imported.document) << imported.error;
    for (const auto& [width, height] : {std::pair{800, 600}, std::pair{1280, 500}}) {
        const QImage expected = renderFullPaint(original, width, height, 96);
        const QImage got = renderFullPaint(*imported.document, width, height, 96);
        ASSERT_FALSE(expected.isNull());
        EXPECT_TRUE(got == expected) << width << "x" << height;
    }
}

TEST(CoefficientImportPicture, EveryModel)
{
    for (int model = 0; model < MODEL_CUSTOM; ++model)
        for (const auto& [rate, cutoffPosition, qPosition] :
             {std::tuple{44100, 1000, 0}, std::tuple{48000, 1700, 2000}, std::tuple{192000, 300, 1000}}) {
            SCOPED_TRACE(testing::Message() << "model " << model << " rate " << rate << " cutoff " << cutoffPosition
                                            << " q " << qPosition);
            expectSamePicture(designedDocument(model, rate, cutoffPosition, qPosition));
        }
}

TEST(CoefficientImportPicture, CustomDesigns)
{
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> radius(0.1, 1.4);
    std::uniform_real_distribution<double> angle(0.0, std::numbers::pi);
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        Document document = designedDocument(MODEL_CUSTOM, 96000, 1000, 0);
        document.filter.gain = 0.25 + 0.1 * run;
        for (RootList* list : {&document.filter.zeros, &document.filter.poles}) {
            list->count = 1 + static_cast<int>(random() % MAX_ROOTS);
            for (int i = 0; i < list->count; ++i) {
                list->pairFlags[i] = random() % 3 != 0;
                const std::complex<double> p = std::polar(radius(random), angle(random));
                list->positions[i] = {p.real(), list->pairFlags[i] ? p.imag() : 0.0};
            }
        }
        expectSamePicture(document);
    }
}

}  // namespace
