// What kxrender hands the plug-in, read back from the transcript that the
// stand-in module writes into the printer stream: the driver host's call
// order, the bands and strips of the raster, the lines of the line path with
// their cursor moves, the text objects, fault injection and the replay of
// recorded calls.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace kxhosttest {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;

class Session : public HostTest {};

TEST_F(Session, WholeJobInTheDriverHostsOrder)
{
    // 16 x 10 dots at 300 dpi, one dark dot at (5, 6): bands of 4 rows.
    json job = BaseJob();
    job["pages"] = {{{"image", WritePbm("page.pbm", 16, 10, {{5, 6}}).string()},
                     {"bits", 1},
                     {"band_height", 4}}};
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    // The label size comes from the image: 16 x 10 dots are 1.4 x 0.8 mm,
    // which are 17 x 9 dots again.
    EXPECT_EQ(Lines(r.output),
              (Strings{
                  "GetInfo 1 cb=4",
                  "GetInfo 3 cb=4",
                  "PublishDriverInterface",
                  "GetImplementedMethod CommandCallback",
                  "GetImplementedMethod FilterGraphics",
                  "GetImplementedMethod ImageProcessing",
                  "EnableDriver 65536 16",
                  "DevMode 1",
                  "DevMode 2",
                  "DevMode 4 private 8x14 orient=1 gap=20 dpi=300 head=154 max=1232x11811 "
                  "quality=1 marker=1 version=26114 public 8x14 orient=1 copies=1 extra=4620 "
                  "same=1",
                  "EnablePDEV P bpp=1 colors=2 res=17x9 dpi=300 fonts=8 printer=1",
                  "StartDoc job=1 doc=job.json dhpdev=devobj",
                  "CC 1",
                  "CC 2",
                  "CC 8",
                  "CC 20 9 17 0",
                  "CC 7 1",
                  "CC 3",
                  "ImageProcessing id=1 16x4 bpp=1 size=16 clr=2 table=1 at=0,0 banding=1 "
                  "blank=1 dark=0 firstrow=-1",
                  "ImageProcessing id=1 16x4 bpp=1 size=16 clr=2 table=1 at=0,4 banding=1 "
                  "blank=0 dark=1 firstrow=2",
                  "ImageProcessing id=1 16x2 bpp=1 size=8 clr=2 table=1 at=0,8 banding=1 "
                  "blank=1 dark=0 firstrow=-1",
                  "CC 4",
                  "CC 5",
                  "CC 6",
                  "DisablePDEV device",
                  "DisableDriver",
              }));
    EXPECT_EQ(r.bands, 3u);
    EXPECT_EQ(r.blankBands, 2u);
    EXPECT_EQ(r.pagesStarted, 1u);
    EXPECT_EQ(r.pagesEnded, 1u);
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
}

TEST_F(Session, LandscapePagesComeAsVerticalStrips)
{
    // A landscape page of 10 x 6 dots, 8 bits, strips of 4 columns; one
    // dark dot at (9, 1) lies in the last strip.
    json job = BaseJob();
    job["public_devmode"] = {{"dmOrientation", "landscape"}};
    job["pages"] = {{{"image", WritePbm("page.pbm", 10, 6, {{9, 1}}).string()},
                     {"bits", 8},
                     {"band_height", 4}}};
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    Strings lines = Lines(r.output, "CC 9");
    ASSERT_GE(lines.size(), 8u);
    // Length along the image's width (10 dots, 0.8 mm), width across (6 dots,
    // 0.5 mm, which are 6 dots again).
    EXPECT_EQ(lines[1], "CC 20 9 6 0");
    EXPECT_EQ(lines[4],
              "ImageProcessing id=1 4x6 bpp=8 size=24 clr=256 table=1 at=0,0 banding=1 blank=1 "
              "dark=0 firstrow=-1");
    EXPECT_EQ(lines[5],
              "ImageProcessing id=1 4x6 bpp=8 size=24 clr=256 table=1 at=4,0 banding=1 blank=1 "
              "dark=0 firstrow=-1");
    EXPECT_EQ(lines[6],
              "ImageProcessing id=1 2x6 bpp=8 size=24 clr=256 table=1 at=8,0 banding=1 blank=0 "
              "dark=1 firstrow=1");
    EXPECT_EQ(lines[7], "CC 4");
}

TEST_F(Session, TwentyFourBitBandsAndBlankFlagsOnRequest)
{
    json job = BaseJob();
    job["pages"] = {{{"image", WritePbm("page.pbm", 3, 2, {{2, 1}}).string()},
                     {"band_height", 1},
                     {"blank_bands", false}}};
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    Strings lines = Lines(r.output, "ImageProcessing");
    EXPECT_EQ(lines[0],
              "ImageProcessing id=1 3x1 bpp=24 size=12 clr=0 table=0 at=0,0 banding=1 blank=0 "
              "dark=0 firstrow=-1");
    EXPECT_EQ(lines[1],
              "ImageProcessing id=1 3x1 bpp=24 size=12 clr=0 table=0 at=0,1 banding=1 blank=0 "
              "dark=1 firstrow=0");
    EXPECT_EQ(r.surfaceBits, 24);
}

TEST_F(Session, LinePathMovesTheCursorAndTrimsEachLine)
{
    // 24 x 5 dots on the text-only model: row 1 has dots 9 and 10, row 3
    // dots 0 and 23; the other rows are white.
    json job = BaseJob();
    job["printer"] = {
        {"name", "D"}, {"model", "Sundo 203"}, {"gpd", (kExamples / "Sundo_203.gpd").string()}};
    job["pages"] = {
        {{"image", WritePbm("p.pbm", 24, 5, {{9, 1}, {10, 1}, {0, 3}, {23, 3}}).string()}}};
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    Strings lines = Lines(r.output, "CC 3");
    EXPECT_EQ(Strings(lines.begin(), lines.begin() + 8),
              (Strings{"CC 3", "CC 12 1", "CC 13 8", "FilterGraphics 60", "CC 12 1", "CC 13 0",
                       "FilterGraphics 800001", "CC 4"}));
    EXPECT_EQ(r.lines, 2u);
    EXPECT_EQ(r.surfaceBits, 1);
    EXPECT_NE(r.output.find("EnablePDEV D bpp=1 colors=2"), std::string::npos);

    job["render"] = {{"line_y_moves", "absolute"}};
    r = RunFake(job);
    lines = Lines(r.output, "CC 3");
    EXPECT_EQ(Strings(lines.begin(), lines.begin() + 8),
              (Strings{"CC 3", "CC 10 1", "CC 13 8", "FilterGraphics 60", "CC 10 3", "CC 13 0",
                       "FilterGraphics 800001", "CC 4"}));
}

TEST_F(Session, TextItemsBecomeStringAndFontObjects)
{
    json job = BaseJob();
    job["public_devmode"] = {{"dmPaperWidth", 500}, {"dmPaperLength", 300}};
    job["pages"] = {{{"text",
                      {{{"text", "AB"},
                        {"font", "Swiss"},
                        {"device_font", 3},
                        {"x", 100},
                        {"y", 200},
                        {"height", 40},
                        {"advance", 30},
                        {"bold", true},
                        {"colour", "#FF0000"},
                        {"enum_batch", 1}},
                       {{"text", "up"},
                        {"font", "Arial"},
                        {"x", 50},
                        {"y", 300},
                        {"height", 20},
                        {"direction", 90},
                        {"weight", 700},
                        {"opaque", {0, 0, 10, 10}}}}}}};
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    Strings lines = Lines(r.output, "TextOut");
    ASSERT_GE(lines.size(), 2u);
    // Ascent 32 and descent 8 of 40 dots; advance 30.
    EXPECT_EQ(lines[0],
              "TextOut \"AB\" glyphs=2 pgp=0 batches=1,1 at 100,200 130,200 face=Swiss iFace=3 "
              "type=0x2002 fore=0x0000FF em=40 weight=400 box=100,168,160,208 opaque=0 "
              "clip=591x354 mix=3341 surface=devobj");
    // Upwards: each glyph 10 dots (half the height) above the one before.
    EXPECT_EQ(lines[1],
              "TextOut \"up\" glyphs=2 pgp=1 batches=2 at 50,300 50,290 face=Arial iFace=0 "
              "type=0x4 fore=0x000000 em=20 weight=700 box=34,280,54,300 opaque=1 "
              "clip=591x354 mix=3341 surface=devobj");
    // The stand-in hands TrueType text back to the host.
    EXPECT_EQ(r.texts, 2u);
    EXPECT_EQ(r.textsTaken, 1u);
    ASSERT_EQ(r.handedBack.size(), 1u);
    EXPECT_EQ(r.handedBack[0], "pages[0].text[1]: \"up\"");
}

TEST_F(Session, FailedSpoolerWriteLeavesItsLastErrorForThePlugin)
{
    // The second write fails with 63 (print cancelled). The stand-in reads
    // the last error through its own copy of the simulated Windows and
    // reports it through the abort path.
    json job = BaseJob();
    job["pages"] = {{{"image", WritePbm("p.pbm", 8, 2, {}).string()}}};
    job["faults"] = {{{"write", 2}, {"error", 63}}};
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    Strings lines = Lines(r.output);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[3], "write failed 0x80004005, last error 63");
    EXPECT_EQ(lines[4], "GetImplementedMethod FilterGraphics");
    EXPECT_EQ(r.failedWrites, 1u);
    EXPECT_EQ(r.aborts, 1u);
}

TEST_F(Session, FaultEventCountsFromTheNextWriteAndCanLast)
{
    json job = BaseJob();
    job["public_devmode"] = {{"dmPaperWidth", 100}, {"dmPaperLength", 100}};
    job["events"] = {
        {{"call", "CommandCallback"}, {"id", "START_JOB"}},
        {{"call", "Fault"}, {"write", 2}, {"count", 0}, {"error", 1234}, {"hresult", "0x80070005"}},
        {{"call", "CommandCallback"}, {"id", "START_DOC"}},
        {{"call", "CommandCallback"}, {"id", "FF"}},
        {{"call", "CommandCallback"}, {"id", "END_JOB"}}};
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    Strings lines = Lines(r.output, "CC 1");
    EXPECT_EQ(lines, (Strings{"CC 1", "CC 2", "write failed 0x80070005, last error 1234",
                              "write failed 0x80070005, last error 1234",
                              "write failed 0x80070005, last error 1234",
                              "write failed 0x80070005, last error 1234"}));
}

TEST_F(Session, EventsReplayCallsAndCheckTheirResults)
{
    json job = BaseJob();
    job["public_devmode"] = {{"dmPaperWidth", 100}, {"dmPaperLength", 100}};
    job["events"] = {
        {{"call", "StartDoc"}, {"job_id", 42}, {"document", "Replay"}},
        {{"call", "CommandCallback"}, {"id", "CMDID_START_JOB"}},
        {{"call", "CommandCallback"}, {"id", 23}, {"expect", "E_FAIL"}},
        {{"call", "FilterGraphics"}, {"data", "1B 43"}},
        {{"call", "ImageProcessing"},
         {"image", WritePbm("p.pbm", 4, 4, {}).string()},
         {"bits", 1},
         {"band", {2, 2}}},
        {{"call", "Escape"}, {"escape", 4115}},
        {{"call", "DisablePDEV"}},
    };
    kxhost::RunReport r = RunFake(job);
    ASSERT_EQ(r.exitCode, kxhost::kExitOk) << AllErrors(r);
    EXPECT_EQ(
        Lines(r.output, "StartDoc"),
        (Strings{"StartDoc job=42 doc=Replay dhpdev=devobj", "CC 1", "CC 23", "FilterGraphics 1B43",
                 "ImageProcessing id=1 4x2 bpp=1 size=8 clr=2 table=1 at=0,2 banding=0 "
                 "blank=1 dark=0 firstrow=-1",
                 "Escape 4115", "DisablePDEV device", "DisableDriver"}));
}

TEST_F(Session, UnexpectedResultsStopTheReplayUnlessToldToContinue)
{
    json job = BaseJob();
    job["public_devmode"] = {{"dmPaperWidth", 100}, {"dmPaperLength", 100}};
    job["events"] = {{{"call", "CommandCallback"}, {"id", 23}},
                     {{"call", "CommandCallback"}, {"id", "FF"}, {"expect", "E_FAIL"}},
                     {{"call", "DisablePDEV"}},
                     {{"call", "CommandCallback"}, {"id", "CR"}}};
    kxhost::RunReport r = RunFake(job);
    EXPECT_EQ(r.exitCode, kxhost::kExitJob);
    EXPECT_EQ(r.errors,
              (Strings{"events[0]: callback 23 failed: 0x80004005 (unspecified failure)"}));
    // The device is still disabled at the end.
    EXPECT_NE(r.output.find("DisablePDEV device"), std::string::npos);

    job["on_error"] = "continue";
    r = RunFake(job);
    EXPECT_EQ(r.exitCode, kxhost::kExitJob);
    EXPECT_EQ(r.errors,
              (Strings{"events[0]: callback 23 failed: 0x80004005 (unspecified failure)",
                       "events[1]: FF answered S_OK, expected 0x80004005 (unspecified failure)",
                       "events[3]: the device was disabled by events[2]: DisablePDEV"}));
}

TEST_F(Session, PluginWithoutTheNeededMethodIsRefused)
{
    // A module that is not a plug-in at all cannot be loaded as one.
    json job = BaseJob();
    job["pages"] = {{{"image", WritePbm("p.pbm", 8, 2, {}).string()}}};
    kxhost::RunReport r = Run(job, dir_ / "missing.so");
    EXPECT_EQ(r.exitCode, kxhost::kExitModule);
    ASSERT_FALSE(r.errors.empty());
    EXPECT_NE(r.errors[0].find("cannot load the plug-in module"), std::string::npos);
}

}  // namespace
}  // namespace kxhosttest
