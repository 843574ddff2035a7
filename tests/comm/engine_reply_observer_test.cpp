// The reply observer: told of every command reply after the engine's own handling, with the
// sender, the MAC, the type and the result byte.
#include "tests/comm/engine_fixture.h"

namespace pontiq::testing_engine {
namespace {

using ReplyObserverTest = EngineTest;

TEST_F(ReplyObserverTest, HearsEveryReplyAfterItsHandling)
{
    struct Heard {
        std::string ip;
        std::string mac;
        uint16_t type;
        uint8_t result;
        uint32_t statusThen;
    };
    std::vector<Heard> heard;
    EngineServices services;
    services.sender = std::make_shared<RecordingSender>();
    services.adapterQuery = [] { return std::vector<AdapterInfo>{}; };
    services.captureQuery = [] { return std::vector<std::string>{}; };
    services.replyObserver = [&](std::string_view ip, std::string_view mac, uint16_t type, uint8_t result) {
        heard.push_back(
            {std::string(ip), std::string(mac), type, result, engine_store::GetDeviceStatus(*store_, mac)});
    };
    CommEngine engine(*store_, Options(), services);
    ap_info_stu row = DeviceRecord("192.168.0.50");
    SetCText(row.mac, Text(kMacA));
    ASSERT_TRUE(engine_store::SaveDevice(*store_, row));

    engine.DispatchCommandReply({From("192.168.0.50"), BuildResultReply(21, MSG_REBOOT, kMacA, 0)});
    engine.DispatchCommandReply({From("192.168.0.51"), BuildResultReply(21, MSG_SET_KELVRA, kMacB, 3)});
    engine.DispatchCommandReply({From("192.168.0.50"), Bytes(5, 0)});  // no header: nobody is told

    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].ip, "192.168.0.50");
    EXPECT_EQ(heard[0].mac, Text(kMacA));
    EXPECT_EQ(heard[0].type, MSG_REBOOT);
    EXPECT_EQ(heard[0].result, 0);
    EXPECT_EQ(heard[0].statusThen, STATUS_RESTARTING) << "told before the store changed";
    EXPECT_EQ(heard[1].mac, Text(kMacB));
    EXPECT_EQ(heard[1].type, MSG_SET_KELVRA);
    EXPECT_EQ(heard[1].result, 3);
}

}  // namespace
}  // namespace pontiq::testing_engine
