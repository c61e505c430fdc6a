#include "files/RiffWriter.h"
#include "WavTestSupport.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

using Riff = WavTest;

TEST_F(Riff, AscendingFixesChunkSizesAndPadsOddChunks) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    RiffWriter writer(stream);
    RiffChunk riff, odd, shorter;
    ASSERT_TRUE(writer.createForm(riff, kRiffId, fourCc("TEST")));
    ASSERT_TRUE(writer.createChunk(odd, fourCc("abcd")));
    ASSERT_TRUE(writer.write("xyz", 3));
    ASSERT_TRUE(writer.ascend(odd));
    ASSERT_TRUE(writer.createChunk(shorter, fourCc("efgh"), 10)); // promised 10, given 2
    ASSERT_TRUE(writer.write("12", 2));
    ASSERT_TRUE(writer.ascend(shorter));
    ASSERT_TRUE(writer.ascend(riff));
    ASSERT_TRUE(writer.flush());
    Bytes file(static_cast<std::size_t>(writer.position()));
    std::rewind(stream);
    EXPECT_EQ(std::fread(file.data(), 1, file.size(), stream), file.size());
    std::fclose(stream);

    Bytes expected = chunk("RIFF", Bytes{'T', 'E', 'S', 'T'});
    for (const Bytes& c : {chunk("abcd", Bytes{'x', 'y', 'z'}), chunk("efgh", Bytes{'1', '2'})})
        expected.insert(expected.end(), c.begin(), c.end());
    expected[4] = static_cast<std::uint8_t>(expected.size() - 8);
    EXPECT_EQ(file, expected);
}

} // namespace
