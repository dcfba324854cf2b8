#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>

#include "imaging/CDIBSection.h"
#include "imaging/Surface.h"
#include "runtime/VbError.h"

namespace folioray {
namespace {

class DibSectionTest : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = gdi::LiveObjects(); }
    void TearDown() override { EXPECT_EQ(gdi::LiveObjects(), baseline_) << "handles leaked"; }
    size_t baseline_ = 0;
};

void ExpectEmpty(const CDIBSection& d) {
    EXPECT_EQ(d.hdc(), 0);
    EXPECT_EQ(d.hDib(), 0);
    EXPECT_EQ(d.DIBSectionBitsPtr(), nullptr);
}

TEST_F(DibSectionTest, OverflowingSizesRaiseOverflowWithoutAllocating) {
    // Width * 3 + 3 beyond 32 bits, then a row size that fits but an image that does not.
    const std::pair<int32_t, int32_t> cases[] = {
        {INT32_MAX, 1}, {715827882, 1}, {50000, 50000}, {1000, INT32_MAX}};
    for (auto [w, h] : cases) {
        CDIBSection d;
        try {
            d.Create(w, h);
            ADD_FAILURE() << w << "x" << h << " did not raise";
        } catch (const VbError& e) {
            EXPECT_EQ(e.Number(), err::kOverflow) << w << "x" << h;
        }
        ExpectEmpty(d);
        EXPECT_EQ(d.Width(), w);
    }
    CDIBSection d;
    intptr_t hDib = 0;
    EXPECT_THROW(d.CreateDIB(0, INT32_MAX, 2, hDib), VbError);
    EXPECT_EQ(hDib, 0);
}

// Rows shared with a picture (and with the clipboard behind it) are read in place; the
// first thing that may write takes a copy, and the write lands in the copy.
TEST_F(DibSectionTest, SharedRowsAreCopiedBeforeAnyWrite) {
    Picture owned;
    owned.isBitmap = true;
    owned.width = owned.height = 2;
    owned.bits = {1, 2, 3, 1, 2, 3, 0, 0, 1, 2, 3, 1, 2, 3, 0, 0};
    Picture shared = owned;
    shared.bits.clear();
    shared.shared = std::make_shared<const std::vector<uint8_t>>(owned.bits);
    const std::function<void(CDIBSection&)> writes[] = {
        [](CDIBSection& d) { d.DIBSectionBitsPtr()[0] = 0xFF; },
        [](CDIBSection& d) { gdi::BitBlt(d.hdc(), 0, 1, 1, 1, 0, 0, 0, gdi::WHITENESS); },
        [](CDIBSection& d) { d.LoadPictureBlt(0, 0, 0, 1, 1, gdi::WHITENESS); }};
    for (const auto& write : writes) {
        CDIBSection d;
        d.CreateFromPicture(shared);
        ASSERT_EQ(d.Bits(), shared.Pixels()) << "copied while only read";
        write(d);
        EXPECT_EQ(*shared.shared, owned.bits);
        EXPECT_NE(std::vector<uint8_t>(d.Bits(), d.Bits() + owned.bits.size()), owned.bits)
            << "the write was lost";
    }
}

}  // namespace
}  // namespace folioray
