// Shared by the status page's command dialog tests: a test engine with a recording sender and a
// store in a temporary folder (no socket is opened), the message boxes recorded instead of shown,
// and selection entries for described devices.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/application_app.h"
#include "app/controls/message_box.h"
#include "app/language.h"
#include "store/ap_info.h"
#include "tests/comm/engine_fixture.h"
#include "ui/lists/apply_worker.h"

namespace pontiq::test {

using testing_engine::Sent;

class CommandDialogTest : public testing_engine::EngineTest {
public:
    void SetUp() override
    {
        EngineTest::SetUp();
        previous_ = SetMessagePresenter([this](const MessageRequest& r) {
            messages.push_back(r);
            return MessageResult::Ok;
        });
    }
    void TearDown() override
    {
        worker.Stop();
        SetMessagePresenter(previous_);
        EngineTest::TearDown();
    }

    // A device the engine has described (state 2, stored), as a ticked row names it.
    SelectionEntry Device(const MacAddress& mac, const char* ip, uint16_t type = 21)
    {
        Described(mac, ip, type);
        SelectionEntry e;
        SetCText(e.ip, ip);
        SetCText(e.mac, testing_engine::Text(mac).c_str());
        e.type_code = type;
        return e;
    }

    // The datagrams of one message type sent since the last Take, in order.
    std::vector<Sent> SentOfType(uint16_t type)
    {
        std::vector<Sent> out;
        for (const Sent& s : sender_->Take()) {
            if (s.kind != Sent::Raw && s.Type() == type) out.push_back(s);
        }
        return out;
    }

    std::vector<MessageRequest> messages;
    CApplyWorker worker;

private:
    MessagePresenter previous_;
};

// Where the look tests put their pictures: $PONTIQ_GRAB_DIR, or nowhere.
inline QString GrabFolder()
{
    const char* dir = std::getenv("PONTIQ_GRAB_DIR");
    if (!dir || !*dir) return QString();
    QDir().mkpath(QString::fromLocal8Bit(dir));
    return QString::fromLocal8Bit(dir);
}

inline std::string ResourceDir()
{
    return std::string(PONTIQ_SOURCE_DIR) + "/resources/";
}

}  // namespace pontiq::test
