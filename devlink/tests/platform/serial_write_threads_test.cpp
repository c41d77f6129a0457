// A write larger than the line buffers: it returns once the device has taken every byte.
#include <gtest/gtest.h>
#include <thread>

#include "pty_support.h"

namespace devlink::platform::testing {
namespace {

TEST(SerialWrite, AWholeBufferLargerThanTheLineBuffersArrives)
{
    const Pty pty;
    const PortDir dir;
    dir.Link(9, pty.slave());
    auto port = OpenLikeThePortObject(9, 115200, 1000);
    ASSERT_NE(port, nullptr);

    std::vector<std::uint8_t> block(256 * 1024);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    std::vector<std::uint8_t> arrived;
    std::thread device([&] { arrived = pty.Read(block.size()); });
    const WriteResult sent = port->Write(block.data(), block.size());
    device.join();
    EXPECT_TRUE(sent.ok);
    EXPECT_EQ(sent.written, block.size());
    EXPECT_TRUE(arrived == block) << arrived.size() << " of " << block.size() << " bytes arrived intact";
    EXPECT_TRUE(port->Close());
}

}  // namespace
}  // namespace devlink::platform::testing
