// The Scan and Paste commands on the real parts: a click handled while a command pumps
// messages is refused, a host may take the next page from ScanComplete, and a folder name
// that would break the PDF's interaction file is refused before the file is written.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/PictureDib.h"
#include "runtime/Variant.h"
#include "tests/faults/FaultWorld.h"

namespace folioray {
namespace {

using test::FaultWorld;

std::vector<uint8_t> SmallDib() {
    Picture p;
    p.isBitmap = true;
    p.width = 5;
    p.height = 5;
    p.bits.assign(static_cast<size_t>(p.Stride()) * p.height, 0x80);
    return MakeDib(p);
}

TEST(ScanCommandTest, ScanAndPasteClickedWhileAScanPumpsMessagesAreRefused) {
    FaultWorld w;
    w.clipboard.SetDib(SmallDib());
    w.host.onDoEvents = [&w] {
        w.control->StartScan();
        w.control->MenuPasteImage_Click();
    };
    ASSERT_TRUE(w.Scan(50)) << ::testing::PrintToString(w.Messages());
    EXPECT_EQ(w.host.beeps, 4);  // two pump points, two refused clicks at each
    EXPECT_TRUE(w.host.messages.empty());
    EXPECT_NE(w.control->ImageWidth(), 5);
    w.host.onDoEvents = nullptr;
    w.clipboard.SetDib(SmallDib());
    w.control->MenuPasteImage_Click();  // refused no longer
    EXPECT_EQ(w.events.size(), 2u);
    EXPECT_EQ(w.control->ImageWidth(), 5);
}

TEST(ScanCommandTest, AHostTakesPageAfterPageFromTheEvent) {
    for (const bool paste : {false, true}) {
        FaultWorld w;
        w.control->ScanComplete = [&](std::string& name) {
            w.events.push_back(name);
            if (w.events.size() >= 3) return;
            w.clipboard.SetDib(SmallDib());
            paste ? w.control->MenuPasteImage_Click() : w.control->StartScan();
        };
        w.clipboard.SetDib(SmallDib());
        paste ? w.control->MenuPasteImage_Click() : w.control->StartScan();
        EXPECT_EQ(w.events, std::vector<std::string>(3, w.File("scanx.jpg"))) << paste;
        EXPECT_EQ(w.host.beeps, 0);
    }
}

TEST(ScanCommandTest, AFolderWithALineBreakIsNeverWrittenIntoThePdfsInteractionFile) {
    FaultWorld w;
    const std::string folder = w.work / "two\nlines";
    std::filesystem::create_directory(folder);
    w.UseFolder(folder);
    ASSERT_EQ(w.control->FilePath(), folder + "/");
    w.control->SaveAsPDF(Variant(true));
    EXPECT_FALSE(w.Scan(50));
    EXPECT_EQ(w.Messages(), std::vector<std::string>{
                                "[Pagewright Control] (exclamation): A temporary PDF interaction "
                                "file could not be written (Bad file name or number)"});
    EXPECT_TRUE(std::filesystem::is_empty(w.temp.path()));
    EXPECT_EQ(w.Files().size(), 1u);
    EXPECT_EQ(w.Files().count("scanx.jpg"), 1u);
}

}  // namespace
}  // namespace folioray
