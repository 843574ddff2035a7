// The status page on a test engine (recording sender, invented adapter 192.168.0.10/24) and a
// store in a temporary folder, with the page's dialogs, shell hooks, web opener and message boxes
// replaced by recorders. Nothing opens a socket, a window of its own or a browser.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/controls/message_box.h"
#include "store/sql_management.h"
#include "tests/comm/engine_fixture.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/status_dlg.h"

namespace pontiq::test {

// A stored device in the adapter's subnet: 192.168.0.(10 + i), a MAC of its own.
inline ap_info_stu StoredDevice(int i, uint16_t type = 21)
{
    ap_info_stu r{};
    char mac[18];
    std::snprintf(mac, sizeof(mac), "00:1a:2b:%02x:%02x:%02x", (i >> 16) & 0xff, (i >> 8) & 0xff, i & 0xff);
    SetCText(r.mac, mac);
    r.ap_type = type;
    r.ap_status = STATUS_ONLINE;
    r.work_mode = 1;
    r.up_time = static_cast<uint32_t>(100 + i);
    r.ip_block.ip_mode = 1;
    const uint8_t ip[4] = {192, 168, static_cast<uint8_t>(i / 200), static_cast<uint8_t>(10 + i % 200)};
    std::copy(std::begin(ip), std::end(ip), r.ip_block.ip);
    const auto mask = IpToBytes("255.255.255.0");
    std::copy(mask.begin(), mask.end(), r.ip_block.ip_mask);
    r.ap_name_len = SetFieldText(r.ap_name, "dev" + std::to_string(i));
    r.version_len = SetFieldText(r.version, "V3.0");
    r.radio_block.channel = 36;
    r.radio_block.security.ssid_len = SetFieldText(r.radio_block.security.ssid, "link");
    return r;
}

// MAC of the i-th device heard by discovery only.
inline MacAddress HeardMac(int i)
{
    return {0x02, 0xaa, 0x00, 0x00, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
}

inline std::string HeardIp(int i)
{
    return "192.168.0." + std::to_string(100 + i);
}

// Key input with its text, as typing produces it. A null target types into whatever has the
// focus at each key, as a user does.
inline void TypeText(QWidget* target, const QString& text)
{
    for (QChar c : text) {
        QWidget* to = target ? target : QApplication::focusWidget();
        if (!to) return;
        const int key = c.isLetter()  ? Qt::Key_A + (c.toUpper().unicode() - 'A')
                        : c.isDigit() ? Qt::Key_0 + (c.unicode() - '0')
                                      : Qt::Key_unknown;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(to, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(to, &release);
    }
}

// Every message box asked for, answered with OK.
class MessageRecorder {
public:
    MessageRecorder()
    {
        previous_ = SetMessagePresenter([this](const MessageRequest& request) {
            requests.push_back(request);
            return MessageResult::Ok;
        });
    }
    ~MessageRecorder() { SetMessagePresenter(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<QString> Texts() const
    {
        std::vector<QString> texts;
        for (const MessageRequest& r : requests) texts.push_back(r.text);
        return texts;
    }

    std::vector<MessageRequest> requests;

private:
    MessagePresenter previous_;
};

class StatusPageTest : public testing_engine::EngineTest {
public:
    void SetUp() override
    {
        EngineTest::SetUp();
        captureDevices_ = {"eth0"};
        previousOpener_ = CStatusDlg::SetWebOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        MakePage();
    }

    void TearDown() override
    {
        page.reset();  // joins its workers while the engine is still there
        CStatusDlg::SetWebOpener(previousOpener_);
        EngineTest::TearDown();
    }

    void MakePage()
    {
        page.reset();
        page = std::make_unique<CStatusDlg>(CStatusDlg::Services{engine_.get(), store_.get()}, nullptr);
        CStatusDlg::Dialogs dialogs;
        dialogs.scanMac = [this](CStatusDlg&) { return scanMacAnswer; };
        dialogs.setIp = [this](CStatusDlg&, const std::vector<SelectionEntry>& selection,
                               const IP_BLOCK& initial) {
            ipDialogs.push_back({selection, initial});
        };
        dialogs.setBridge = [this](CStatusDlg&, const std::vector<SelectionEntry>& selection, int initial) {
            bridgeDialogs.push_back({selection, initial});
        };
        dialogs.setKelvra = [this](CStatusDlg&, const std::vector<SelectionEntry>& selection, int initial) {
            kelvraDialogs.push_back({selection, initial});
        };
        page->SetDialogs(dialogs);
        page->SetShellHooks({[this](bool enabled) { navigation.push_back(enabled); },
                             [this](int32_t flag) { autoRefresh.push_back(flag); }});
        page->show();
    }

    void Store(int first, int count, uint16_t type = 21)
    {
        for (int i = first; i < first + count; ++i) ASSERT_TRUE(store_->SaveDevice(StoredDevice(i, type)));
    }
    void Store(const ap_info_stu& record) { ASSERT_TRUE(store_->SaveDevice(record)); }

    // Devices that answered the discovery request but whose record has not arrived.
    void Hear(int first, int count)
    {
        for (int i = first; i < first + count; ++i) Discovered(HeardMac(i), HeardIp(i).c_str(), 21, "V1.0");
    }

    CGridCtrl& Grid() { return *page->Grid(); }

    QLineEdit* OpenLocationEditor(int row)
    {
        if (!Grid().EditCell(row, kStatusColLocation)) return nullptr;
        return qobject_cast<QLineEdit*>(Grid().indexWidget(Grid().model()->index(row, kStatusColLocation)));
    }

    // Edits the Location cell of `row` to `text` and ends the edit with Enter.
    void Rename(int row, const QString& text)
    {
        QLineEdit* editor = OpenLocationEditor(row);
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(editor, &press);
        QApplication::processEvents();
    }

    // The datagrams of one type sent since the last Take.
    std::vector<testing_engine::Sent> SentOfType(uint16_t type)
    {
        std::vector<testing_engine::Sent> out;
        for (const testing_engine::Sent& s : sender_->Take()) {
            if (s.kind != testing_engine::Sent::Raw && s.Type() == type) out.push_back(s);
        }
        return out;
    }

    struct IpDialog {
        std::vector<SelectionEntry> selection;
        IP_BLOCK initial;
    };
    struct SwitchDialog {
        std::vector<SelectionEntry> selection;
        int initial;
    };

    std::unique_ptr<CStatusDlg> page;
    MessageRecorder messages;
    std::vector<QUrl> opened;
    std::optional<MacAddress> scanMacAnswer;
    std::vector<IpDialog> ipDialogs;
    std::vector<SwitchDialog> bridgeDialogs;
    std::vector<SwitchDialog> kelvraDialogs;
    std::vector<bool> navigation;
    std::vector<int32_t> autoRefresh;

private:
    CStatusDlg::UrlOpener previousOpener_;
};

}  // namespace pontiq::test
