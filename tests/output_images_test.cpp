// Frames written as PNG and OpenEXR read back as they were, and a write that fails
// leaves nothing behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "refhost/output/atomic_file.h"
#include "refhost/output/exr_io.h"
#include "refhost/output/image_files.h"
#include "refhost/output/png_io.h"
#include "temp_dir.h"

namespace {

using namespace refhost::output;

template <class P>
std::vector<P>& Px(Image& image) {
  return std::get<std::vector<P>>(image.pixels);
}

TEST(PngFiles, EightBitRoundTripIsExact) {
  TempDir dir;
  Image image = MakeImage(7, 5, Depth::BITS_8);  // odd sizes: no row happens to align
  auto& px = Px<PF_Pixel8>(image);
  for (std::size_t i = 0; i < px.size(); ++i) {
    auto b = [&](std::size_t k) { return static_cast<A_u_char>((i * 37 + k * 91) % 256); };
    px[i] = {b(0), b(1), b(2), b(3)};
  }
  WritePng(dir / "f.png", image, PngBits::BITS_8);
  EXPECT_EQ(ReadPngInfo(dir / "f.png").bit_depth, 8);
  Image back = ReadPng(dir / "f.png");
  ASSERT_EQ(back.depth(), Depth::BITS_8);
  ASSERT_EQ(back.width, 7);
  ASSERT_EQ(back.height, 5);
  auto& got = Px<PF_Pixel8>(back);
  for (std::size_t i = 0; i < px.size(); ++i) {
    ASSERT_EQ(std::memcmp(&got[i], &px[i], sizeof(PF_Pixel8)), 0) << "pixel " << i;
  }
}

TEST(PngFiles, SixteenBitRoundTripIsExactForEveryHostValue) {
  TempDir dir;
  // Every value the host's 16-bit channels take, 0 to 32768, in each channel.
  Image image = MakeImage(183, 181, Depth::BITS_16);
  auto& px = Px<PF_Pixel16>(image);
  for (std::size_t i = 0; i < px.size(); ++i) {
    auto v = [&](std::size_t k) { return static_cast<A_u_short>((i + k * 1000) % 32769); };
    px[i] = {v(0), v(1), v(2), v(3)};
  }
  WritePng(dir / "f.png", image, PngBits::BITS_16);
  PngSamples raw = ReadPngSamples(dir / "f.png");
  EXPECT_EQ(raw.info.bit_depth, 16);
  // The file spans the full 16-bit range: 32768 (the host's 1.0) is 65535.
  auto sample_of = [&](std::size_t pixel, int channel) { return raw.rgba[4 * pixel + static_cast<std::size_t>(channel)]; };
  EXPECT_EQ(sample_of(0, 3), 0);            // alpha of pixel 0 is 0
  EXPECT_EQ(sample_of(32768, 3), 65535);    // alpha of pixel 32768 is 32768
  EXPECT_EQ(sample_of(16384, 3), 32768);
  Image back = ReadPng(dir / "f.png");
  ASSERT_EQ(back.depth(), Depth::BITS_16);
  auto& got = Px<PF_Pixel16>(back);
  for (std::size_t i = 0; i < px.size(); ++i) {
    ASSERT_EQ(std::memcmp(&got[i], &px[i], sizeof(PF_Pixel16)), 0) << "pixel " << i;
  }
}

TEST(PngFiles, OtherDepthsAreConvertedAndFloatIsClamped) {
  TempDir dir;
  Image eight = MakeImage(1, 1, Depth::BITS_8);
  Px<PF_Pixel8>(eight)[0] = {255, 1, 128, 254};
  WritePng(dir / "e.png", eight, PngBits::BITS_16);
  std::vector<std::uint16_t> expected = {257, 128 * 257, 254 * 257, 65535};
  EXPECT_EQ(ReadPngSamples(dir / "e.png").rgba, expected);

  Image fl = MakeImage(1, 1, Depth::FLOAT_32);
  Px<PF_PixelFloat>(fl)[0] = {2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.5f};
  WritePng(dir / "f.png", fl, PngBits::BITS_8);
  expected = {0, 0, 128, 255};
  EXPECT_EQ(ReadPngSamples(dir / "f.png").rgba, expected);
}

TEST(PngFiles, ChannelScalesAreInversesOnTheHostRange) {
  for (unsigned v = 0; v <= 32768; ++v) {
    ASSERT_EQ(FullToChan16(Chan16ToFull(static_cast<std::uint16_t>(v))), v);
  }
  for (unsigned v = 0; v <= 255; ++v) {
    ASSERT_EQ(Chan16To8(Chan8To16(static_cast<std::uint8_t>(v))), v);
  }
  EXPECT_EQ(Chan8To16(255), 32768);
  EXPECT_EQ(Chan16ToFull(40000), 65535);  // beyond the host's range: clamped
}

TEST(ExrFiles, FloatRoundTripIsExactAndHalfKeepsHalfPrecision) {
  TempDir dir;
  Image image = MakeImage(3, 2, Depth::FLOAT_32);
  auto& px = Px<PF_PixelFloat>(image);
  const float values[] = {0.0f, 1.0f, 0.1f, -0.25f, 4.5f, 1e-3f, 0.333333f, 65000.0f};
  for (std::size_t i = 0; i < px.size(); ++i) {
    px[i] = {values[i % 8], values[(i + 1) % 8], values[(i + 2) % 8], values[(i + 3) % 8]};
  }
  WriteExr(dir / "f.exr", image, ExrPixels::FLOAT);
  Image back = ReadExr(dir / "f.exr");
  ASSERT_EQ(back.width, 3);
  ASSERT_EQ(back.height, 2);
  auto& got = Px<PF_PixelFloat>(back);
  for (std::size_t i = 0; i < px.size(); ++i) {
    EXPECT_EQ(got[i].alpha, px[i].alpha);
    EXPECT_EQ(got[i].red, px[i].red);
    EXPECT_EQ(got[i].green, px[i].green);
    EXPECT_EQ(got[i].blue, px[i].blue);
  }

  WriteExr(dir / "h.exr", image, ExrPixels::HALF);
  Image half = ReadExr(dir / "h.exr");
  auto& h = Px<PF_PixelFloat>(half);
  for (std::size_t i = 0; i < px.size(); ++i) {
    EXPECT_NEAR(h[i].red, px[i].red, std::fabs(px[i].red) * 1e-3 + 1e-7);
  }
  EXPECT_EQ(ReadImageSize(dir / "h.exr").width, 3);
}

TEST(ExrFiles, EightBitFramesAreWrittenAsZeroToOne) {
  TempDir dir;
  Image image = MakeImage(1, 1, Depth::BITS_8);
  Px<PF_Pixel8>(image)[0] = {255, 0, 51, 255};
  WriteExr(dir / "f.exr", image, ExrPixels::FLOAT);
  Image back = ReadImageFile(dir / "f.exr");
  PF_PixelFloat p = Px<PF_PixelFloat>(back)[0];
  EXPECT_FLOAT_EQ(p.alpha, 1.0f);
  EXPECT_FLOAT_EQ(p.green, 0.2f);
}

TEST(Images, RowsWithPaddingAreCopiedWithoutIt) {
  // Three pixels a row, rows 5 pixels apart, as a host world with a wide stride.
  std::vector<PF_Pixel16> world(5 * 2);
  for (std::size_t i = 0; i < world.size(); ++i) world[i] = {static_cast<A_u_short>(i), 0, 0, 0};
  Image image = ImageFromRows(3, 2, Depth::BITS_16, world.data(), 5 * sizeof(PF_Pixel16));
  auto& px = Px<PF_Pixel16>(image);
  std::vector<A_u_short> alphas;
  for (const auto& p : px) alphas.push_back(p.alpha);
  EXPECT_EQ(alphas, (std::vector<A_u_short>{0, 1, 2, 5, 6, 7}));
}

TEST(Images, ShrinkAveragesBlocksByAlphaAndKeepsEdgeRemainders) {
  // 3 × 2 at factor 2: a full 2 × 2 block and a 1 × 2 remainder at the right edge.
  Image image = MakeImage(3, 2, Depth::FLOAT_32);
  auto& px = Px<PF_PixelFloat>(image);
  px[0] = {1, 1, 0, 0};  // opaque red
  px[1] = {0, 0, 1, 0};  // transparent green: adds no colour, halves nothing but alpha
  px[3] = {1, 1, 0, 0};
  px[4] = {0, 0, 1, 0};
  px[2] = {1, 0, 0, 1};  // the remainder column: opaque blue over transparent
  px[5] = {0, 0, 0, 0};
  Image small = Shrink(image, 2);
  ASSERT_EQ(small.width, 2);
  ASSERT_EQ(small.height, 1);
  auto& got = Px<PF_Pixel8>(small);
  EXPECT_EQ((std::vector<int>{got[0].alpha, got[0].red, got[0].green, got[0].blue}),
            (std::vector<int>{128, 255, 0, 0}));
  EXPECT_EQ((std::vector<int>{got[1].alpha, got[1].red, got[1].green, got[1].blue}),
            (std::vector<int>{128, 0, 0, 255}));
  EXPECT_THROW(Shrink(image, 0), std::invalid_argument);
}

TEST(AtomicWrites, AFailedWriterLeavesNoFileAndKeepsTheOldOne) {
  TempDir dir;
  auto fail_halfway = [](std::FILE* f) {
    std::fputs("half a file", f);
    throw std::runtime_error("interrupted");
  };
  EXPECT_THROW(WriteStreamAtomically(dir / "out" / "a.json", fail_halfway), OutputError);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out"});  // the folder, nothing in it

  WriteTextAtomically(dir / "out" / "a.json", "whole\n");
  EXPECT_THROW(WriteStreamAtomically(dir / "out" / "a.json", fail_halfway), OutputError);
  std::ifstream in(dir / "out" / "a.json");
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "whole\n");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "out/a.json"}));
}

TEST(AtomicWrites, WritersThatFailLeaveNothing) {
  TempDir dir;
  EXPECT_THROW(WritePng(dir / "empty.png", MakeImage(0, 0, Depth::BITS_8), PngBits::BITS_8), OutputError);
  EXPECT_THROW(WriteExr(dir / "empty.exr", MakeImage(4, 0, Depth::FLOAT_32), ExrPixels::FLOAT), OutputError);
  // A folder in the way of the file: the temporary file is made, the rename fails.
  std::filesystem::create_directories(dir / "taken.png" / "x");
  EXPECT_THROW(WritePng(dir / "taken.png", MakeImage(2, 2, Depth::BITS_8), PngBits::BITS_8), OutputError);
  // A file in the way of the folder.
  std::ofstream(dir / "plain") << "x";
  try {
    WriteTextAtomically(dir / "plain" / "k.json", "{}");
    FAIL();
  } catch (const OutputError& e) {
    EXPECT_EQ(e.File(), dir / "plain" / "k.json");
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"plain", "taken.png", "taken.png/x"}));
}

}  // namespace
