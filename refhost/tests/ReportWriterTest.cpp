#include <gtest/gtest.h>

#include "recording/ReportWriter.h"

using refhost::ReportWriter;

// No text of a run may end the page's script element early or break its JSON.
TEST(ReportWriterTest, TraceTextCannotCloseTheScriptItIsPutIn) {
    std::string json = ReportWriter::scriptSafeJson(
        "{\"messageData\":\"</script><!--<script>\"}\r\n\x01\xC3\xA9");
    EXPECT_EQ(json.find('<'), std::string::npos);
    EXPECT_EQ(json.find('>'), std::string::npos);
    EXPECT_EQ(json,
              "\"{\\\"messageData\\\":\\\"\\u003c/script\\u003e\\u003c!--\\u003cscript\\u003e\\\"}"
              "\\r\\n\\u0001\xC3\xA9\"");
}

TEST(ReportWriterTest, Base64PadsEveryRemainder) {
    EXPECT_EQ(ReportWriter::base64(""), "");
    EXPECT_EQ(ReportWriter::base64("f"), "Zg==");
    EXPECT_EQ(ReportWriter::base64("fo"), "Zm8=");
    EXPECT_EQ(ReportWriter::base64("foo"), "Zm9v");
    EXPECT_EQ(ReportWriter::base64(std::string("\x89PNG\0\xff", 6)), "iVBORwD/");
}

// A picture record names a file of the output folder, perhaps with words
// after it; anything that would reach outside the folder is refused.
TEST(ReportWriterTest, PictureNamesStayInTheOutputFolder) {
    EXPECT_EQ(ReportWriter::pictureFile(L"02-spinner-frames.png (8 spinner frames)"),
              L"02-spinner-frames.png");
    EXPECT_EQ(ReportWriter::pictureFile(L"01-ring.png"), L"01-ring.png");
    EXPECT_EQ(ReportWriter::pictureFile(L"..\\..\\secret.png"), L"");
    EXPECT_EQ(ReportWriter::pictureFile(L"C:/x.png"), L"");
    EXPECT_EQ(ReportWriter::pictureFile(L"no picture"), L"");
}

// The markers are filled once each, in order; a marker's text inside the
// trace data is data, not a second marker.
TEST(ReportWriterTest, FillsEachMarkerOnceAndLeavesTheRestAlone) {
    std::string page =
        "<script id=t>@@TRACE_JSONL@@</script><script id=p>@@PICTURES@@</script>"
        "<script>var s = '@@TRACE_JSONL@@ @@PICTURES@@';</script>";
    std::string filled = ReportWriter::fill(page, "{\"text\":\"@@PICTURES@@\"}\n", "{}");
    EXPECT_EQ(filled,
              "<script id=t>\"{\\\"text\\\":\\\"@@PICTURES@@\\\"}\\n\"</script>"
              "<script id=p>{}</script>"
              "<script>var s = '@@TRACE_JSONL@@ @@PICTURES@@';</script>");
}
