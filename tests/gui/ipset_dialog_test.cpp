#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProgressBar>
#include <array>
#include <string>
#include <vector>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/ui/shell_ids.h"
#include "store/value_format.h"
#include "tests/gui/ipset_test_support.h"
#include "tests/gui/shell_test_support.h"
#include "ui/lists/ip_address_ctrl.h"
#include "ui/lists/ip_range.h"
#include "ui/lists/ip_set_multi_dlg.h"

namespace pontiq {
namespace {

using testing_engine::kMacA;
using testing_engine::kMacB;
using testing_engine::kMacC;
using testing_engine::Sent;
using testing_engine::Text;

std::array<uint8_t, 4> Ip(const char* text)
{
    return IpToBytes(text);
}

SelectionEntry Row(int n)
{
    SelectionEntry e;
    SetCText(e.ip, "192.168.0." + std::to_string(50 + n));
    SetCText(e.mac, "00:1b:2c:3d:4e:0" + std::to_string(n));
    return e;
}

std::string AddressOf(const IP_BLOCK& b)
{
    return IpText(std::span<const uint8_t, 4>(b.ip));
}

// ---- The address plan --------------------------------------------------------------------

TEST(IpRangePlan, GivesConsecutiveAddressesSkippingZeroAndBroadcastEndings)
{
    struct Case {
        const char* name;
        int devices;
        const char* first;
        const char* last;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"three devices across a /24 boundary",
         3,
         "192.168.1.254",
         "192.168.2.2",
         {"192.168.1.254", "192.168.2.1", "192.168.2.2"}},
        {"four devices across a /24 boundary",
         4,
         "192.168.1.254",
         "192.168.2.3",
         {"192.168.1.254", "192.168.2.1", "192.168.2.2", "192.168.2.3"}},
        {"range longer than needed", 2, "10.0.0.1", "10.0.0.200", {"10.0.0.1", "10.0.0.2"}},
        {"range runs out: the last device gets nothing",
         3,
         "10.0.0.253",
         "10.0.1.1",
         {"10.0.0.253", "10.0.0.254", "10.0.1.1"}},
        {"range runs out earlier", 4, "10.0.0.253", "10.0.1.0", {"10.0.0.253", "10.0.0.254"}},
        {"one device: the first address, the last is ignored", 1, "10.0.0.9", "10.0.0.1", {"10.0.0.9"}},
        {"several with first above last: nothing", 2, "10.0.0.9", "10.0.0.1", {}},
        {"a walk up to 255.255.255.255 ends",
         3,
         "255.255.255.253",
         "255.255.255.255",
         {"255.255.255.253", "255.255.255.254"}},
        {"no device", 0, "10.0.0.1", "10.0.0.5", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SelectionEntry> selection;
        for (int i = 0; i < c.devices; ++i) selection.push_back(Row(i + 1));
        IpApplySettings s;
        s.first = Ip(c.first);
        s.last = Ip(c.last);
        s.mask = Ip("255.255.0.0");
        const std::vector<IpAssignment> plan = PlanIpAssignments(selection, s);
        ASSERT_EQ(plan.size(), c.expected.size());
        for (size_t i = 0; i < plan.size(); ++i) {
            EXPECT_EQ(AddressOf(plan[i].block), c.expected[i]);
            EXPECT_STREQ(plan[i].device.mac, selection[i].mac) << "devices in selection order";
        }
    }
}

TEST(IpRangePlan, BlockCarriesTheCommonSettingsWithModeAndApplyFlag)
{
    IpApplySettings s;
    s.first = Ip("172.16.5.7");
    s.mask = Ip("255.255.255.0");
    s.gateway = Ip("172.16.5.1");
    s.dns1 = Ip("8.8.8.8");
    s.dns2 = Ip("1.1.1.1");
    const IP_BLOCK b = MakeIpBlock(s.first, s);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&b);
    const std::vector<uint8_t> expected = {1, 172, 16, 5, 7, 255, 255, 255, 0, 172, 16,
                                           5, 1,   8,  8, 8, 8,   1,   1,   1, 1,   1};
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof(b)), expected);
}

// ---- The dialog over a test engine ---------------------------------------------------------

class IpSetDialogTest : public test::CommandDialogTest {
public:
    void SetUp() override
    {
        CommandDialogTest::SetUp();
        test::ResetLanguage();
        initial_.ip_mode = 1;
        const auto ip = Ip("192.168.0.51");
        std::copy(ip.begin(), ip.end(), initial_.ip);
        const auto mask = Ip("255.255.255.0");
        std::copy(mask.begin(), mask.end(), initial_.ip_mask);
        const auto gw = Ip("192.168.0.1");
        std::copy(gw.begin(), gw.end(), initial_.ip_gateway);
        const auto dns = Ip("192.168.0.2");
        std::copy(dns.begin(), dns.end(), initial_.ip_dns1);
    }

    std::unique_ptr<CIpsetMutilDlg> Open(std::vector<SelectionEntry> selection)
    {
        sender_->Take();
        return std::make_unique<CIpsetMutilDlg>(std::move(selection), initial_, worker, *engine_, nullptr);
    }

    static void Fill(CIpsetMutilDlg& dlg, const IpRangeEntries& e)
    {
        dlg.AddressControl(kIdcIpSetFirst)->SetText(e.first);
        dlg.AddressControl(kIdcIpSetLast)->SetText(e.last);
        dlg.AddressControl(kIdcIpSetMask)->SetText(e.mask);
        dlg.AddressControl(kIdcIpSetGateway)->SetText(e.gateway);
        dlg.AddressControl(kIdcIpSetDns1)->SetText(e.dns1);
        dlg.AddressControl(kIdcIpSetDns2)->SetText(e.dns2);
    }

    IP_BLOCK initial_{};
};

TEST_F(IpSetDialogTest, RangeOverThreeDevicesSendsOneSetIpEachWithThePendingAddressFirst)
{
    const std::vector<SelectionEntry> selection = {
        Device(kMacA, "192.168.0.51"), Device(kMacB, "192.168.0.52"), Device(kMacC, "192.168.0.53")};
    auto dlg = Open(selection);
    Fill(*dlg, {"192.168.1.254", "192.168.2.2", "255.255.0.0", "", "8.8.8.8", ""});
    ASSERT_TRUE(dlg->Save());
    worker.Wait();
    EXPECT_TRUE(messages.empty());

    const std::vector<Sent> sent = SentOfType(MSG_SET_IP);
    ASSERT_EQ(sent.size(), 3u);
    const char* expected[] = {"192.168.1.254", "192.168.2.1", "192.168.2.2"};
    const MacAddress macs[] = {kMacA, kMacB, kMacC};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(sent[i].kind, Sent::Multicast);
        EXPECT_EQ(sent[i].from, "192.168.0.10");  // the adapter whose subnet holds the current address
        EXPECT_EQ(sent[i].Mac(), Text(macs[i]));
        std::vector<uint8_t> payload = {1};
        for (const auto& part :
             {Ip(expected[i]), Ip("255.255.0.0"), Ip("0.0.0.0"), Ip("8.8.8.8"), Ip("0.0.0.0")}) {
            payload.insert(payload.end(), part.begin(), part.end());
        }
        payload.push_back(1);
        EXPECT_EQ(sent[i].Payload(), payload);
        // The engine was told the new address before the command went out, so the reply moves it.
        const auto entry = Entry(macs[i]);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->pendingIp, expected[i]);
    }
    EXPECT_EQ(dlg->Settings().first, Ip("192.168.1.254"));
    EXPECT_EQ(dlg->Settings().last, Ip("192.168.2.2"));
    EXPECT_EQ(worker.CompletedCount(), 1);
}

TEST_F(IpSetDialogTest, OneDeviceHidesTheLastRowAndSendsTheFirstAddress)
{
    auto two = Open({Row(1), Row(2)});
    auto dlg = Open({Device(kMacA, "192.168.0.51")});
    dlg->show();

    auto* lastLabel = qobject_cast<CTStatic*>(FindControl(dlg.get(), kIdcIpSetLastLabel));
    auto* firstLabel = qobject_cast<CTStatic*>(FindControl(dlg.get(), kIdcIpSetFirstLabel));
    ASSERT_TRUE(lastLabel && firstLabel);
    EXPECT_FALSE(lastLabel->isVisible());
    EXPECT_FALSE(dlg->AddressControl(kIdcIpSetLast)->isVisible());
    EXPECT_EQ(firstLabel->text(), QStringLiteral("IP_Address"));
    auto* twoFirstLabel = FindControl(two.get(), kIdcIpSetFirstLabel);
    EXPECT_EQ(firstLabel->y(), twoFirstLabel->y() + CIpsetMutilDlg::kOneDeviceShift);
    EXPECT_EQ(dlg->AddressControl(kIdcIpSetFirst)->y(),
              two->AddressControl(kIdcIpSetFirst)->y() + CIpsetMutilDlg::kOneDeviceShift);
    EXPECT_EQ(qobject_cast<CTStatic*>(twoFirstLabel)->text(), QStringLiteral("IP_Address_Begin"));

    // Filled from the stored block; the last address stays empty, the progress hidden.
    EXPECT_EQ(dlg->AddressControl(kIdcIpSetFirst)->Text(), QStringLiteral("192.168.0.51"));
    EXPECT_EQ(dlg->AddressControl(kIdcIpSetMask)->Text(), QStringLiteral("255.255.255.0"));
    EXPECT_EQ(dlg->AddressControl(kIdcIpSetGateway)->Text(), QStringLiteral("192.168.0.1"));
    EXPECT_EQ(dlg->AddressControl(kIdcIpSetDns1)->Text(), QStringLiteral("192.168.0.2"));
    EXPECT_EQ(dlg->AddressControl(kIdcIpSetDns2)->Text(), QStringLiteral("0.0.0.0"));
    EXPECT_TRUE(dlg->AddressControl(kIdcIpSetLast)->Text().isEmpty());
    EXPECT_FALSE(dlg->Progress()->isVisible());

    // The hidden last address is not checked.
    dlg->AddressControl(kIdcIpSetFirst)->SetText(QStringLiteral("192.168.0.77"));
    ASSERT_TRUE(dlg->Save());
    worker.Wait();
    EXPECT_TRUE(messages.empty());
    const std::vector<Sent> sent = SentOfType(MSG_SET_IP);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Payload()[4], 77);
    EXPECT_EQ(Entry(kMacA)->pendingIp, "192.168.0.77");
}

TEST_F(IpSetDialogTest, RefusedEntriesShowTheirMessageAndSendNothing)
{
    struct Case {
        const char* name;
        int devices;
        IpRangeEntries entries;
        const char* message;  // nullptr: accepted
    };
    const char* kIp = "The ip address is invalid!";
    const char* kMask = "The subnet mask is invalid!";
    const char* kGw = "The gateway address is invalid!";
    const char* kSame = "The ip address and gateway address cannot be the same!";
    const char* kSegment = "IP Address can't be the network segment!";
    const char* kSubnet = "Ip address and gateway address is not in the same subnet!";
    const char* kDns1 = "The primary DNS Server is invalid!";
    const char* kDns2 = "The secondary DNS Server is invalid!";
    const char* kDnsSame = "Primary DNS Server and Secondary DNS Server can't be the same!";
    const Case cases[] = {
        {"empty first address", 2, {"", "10.0.0.9", "255.255.255.0", "", "", ""}, kIp},
        {"loop-back first address", 1, {"127.0.0.1", "", "255.255.255.0", "", "", ""}, kIp},
        {"first address ending in .255", 1, {"10.0.0.255", "", "255.255.255.0", "", "", ""}, kIp},
        {"mask 255.255.255.255", 1, {"10.0.0.5", "", "255.255.255.255", "", "", ""}, kMask},
        {"mask with a hole", 1, {"10.0.0.5", "", "255.0.255.0", "", "", ""}, kMask},
        {"gateway multicast", 1, {"10.0.0.5", "", "255.255.255.0", "224.0.0.1", "", ""}, kGw},
        {"first equals gateway", 1, {"10.0.0.5", "", "255.255.255.0", "10.0.0.5", "", ""}, kSame},
        {"several: last empty", 2, {"10.0.0.5", "", "255.255.255.0", "", "", ""}, kIp},
        {"several: first equals last", 2, {"10.0.0.5", "10.0.0.5", "255.255.255.0", "", "", ""}, kIp},
        {"several: first above last", 2, {"10.0.0.9", "10.0.0.5", "255.255.255.0", "", "", ""}, kIp},
        {"several: last equals gateway",
         2,
         {"10.0.0.5", "10.0.0.9", "255.255.255.0", "10.0.0.9", "", ""},
         kSame},
        {"first is its network address", 1, {"10.1.2.128", "", "255.255.255.128", "", "", ""}, kSegment},
        {"several: first is its network address",
         2,
         {"10.1.2.64", "10.1.2.70", "255.255.255.192", "", "", ""},
         kSegment},
        // An address ending in .0 fails the address check before it reaches the segment rule.
        {"192.168.1.0/24", 2, {"192.168.1.0", "192.168.1.9", "255.255.255.0", "", "", ""}, kIp},
        {"gateway outside the first's subnet",
         1,
         {"10.0.0.5", "", "255.255.255.0", "10.0.1.1", "", ""},
         kSubnet},
        {"gateway outside the last's subnet",
         2,
         {"10.0.0.250", "10.0.1.3", "255.255.255.0", "10.0.0.1", "", ""},
         kSubnet},
        {"gateway 0.0.0.0: no subnet check",
         2,
         {"10.0.0.250", "10.0.1.3", "255.255.255.0", "0.0.0.0", "", ""},
         nullptr},
        {"no gateway: no subnet check", 2, {"10.0.0.250", "10.0.1.3", "255.255.255.0", "", "", ""}, nullptr},
        {"primary DNS invalid", 1, {"10.0.0.5", "", "255.255.255.0", "", "10.0.0.0", ""}, kDns1},
        {"secondary DNS invalid", 1, {"10.0.0.5", "", "255.255.255.0", "", "8.8.8.8", "0.1.2.3"}, kDns2},
        {"equal DNS servers", 1, {"10.0.0.5", "", "255.255.255.0", "", "8.8.8.8", "8.8.8.8"}, kDnsSame},
        {"DNS both 0.0.0.0", 1, {"10.0.0.5", "", "255.255.255.0", "", "0.0.0.0", "0.0.0.0"}, nullptr},
        {"DNS both empty", 1, {"10.0.0.5", "", "255.255.255.0", "", "", ""}, nullptr},
        {"one device: last not checked", 1, {"10.0.0.5", "300.1.1.1", "255.255.255.0", "", "", ""}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        std::vector<SelectionEntry> selection;
        for (int i = 0; i < c.devices; ++i)
            selection.push_back(Device(i == 0 ? kMacA : kMacB, i == 0 ? "192.168.0.51" : "192.168.0.52"));
        auto dlg = Open(selection);
        Fill(*dlg, c.entries);
        const bool saved = dlg->Save();
        worker.Wait();
        if (c.message) {
            EXPECT_FALSE(saved);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, QString::fromUtf8(c.message));
            EXPECT_EQ(messages[0].icon, MessageIcon::None);
            EXPECT_EQ(messages[0].caption, ApplicationName());
            EXPECT_FALSE(dlg->Busy());
            EXPECT_FALSE(dlg->ProgressTimer().isActive());
            EXPECT_TRUE(dlg->AddressControl(kIdcIpSetFirst)->isEnabled());
            EXPECT_TRUE(SentOfType(MSG_SET_IP).empty());
        } else {
            EXPECT_TRUE(saved);
            EXPECT_TRUE(messages.empty()) << messages[0].text.toStdString();
            EXPECT_FALSE(SentOfType(MSG_SET_IP).empty());
        }
        // The pure check agrees with the dialog.
        const char* check = CheckIpRange(c.entries, c.devices > 1);
        EXPECT_STREQ(check ? check : "", c.message ? c.message : "");
    }
}

TEST_F(IpSetDialogTest, MessagesAreShownTranslated)
{
    test::ProgramFolder folder;
    folder.WriteLanguage(2052, "Chinese",
                         "the ip address is invalid!=IP\xe5\x9c\xb0\xe5\x9d\x80\xe6\x97\xa0\xe6\x95\x88\n");
    folder.UseLanguage(2052);
    auto dlg = Open({Device(kMacA, "192.168.0.51")});
    Fill(*dlg, {"", "", "255.255.255.0", "", "", ""});
    EXPECT_FALSE(dlg->Save());
    test::ResetLanguage();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QString::fromUtf8("IP\xe5\x9c\xb0\xe5\x9d\x80\xe6\x97\xa0\xe6\x95\x88"));
}

// Every MSG_DISCOVER and MSG_RELEASE the ticks send, by tick number.
struct PassLog {
    std::vector<int> discovers;
    std::vector<int> releases;
};

TEST_F(IpSetDialogTest, ProgressRediscoversOnTicks18To30AndClosesItself)
{
    const std::vector<SelectionEntry> selection = {Device(kMacA, "192.168.0.51"),
                                                   Device(kMacB, "192.168.0.52")};
    Discovered(kMacC, "192.168.0.53");  // heard only: the first pass releases it
    auto dlg = Open(selection);
    Fill(*dlg, {"192.168.0.100", "192.168.0.110", "255.255.255.0", "192.168.0.1", "", ""});
    dlg->show();
    ASSERT_TRUE(dlg->Save());
    worker.Wait();
    sender_->Take();

    EXPECT_EQ(dlg->ProgressTimer().property(kTimerIdProperty).toInt(), CIpsetMutilDlg::kTimerProgress);
    EXPECT_EQ(dlg->ProgressTimer().interval(), 500);
    EXPECT_TRUE(dlg->ProgressTimer().isActive());
    EXPECT_TRUE(dlg->Progress()->isVisible());
    EXPECT_EQ(dlg->Progress()->maximum(), 30);
    EXPECT_EQ(dlg->Progress()->value(), 0);
    for (int id : {kIdcIpSetFirst, kIdcIpSetLast, kIdcIpSetMask, kIdcIpSetGateway, kIdcIpSetDns1,
                   kIdcIpSetDns2, kIdcIpSetSave, kIdcIpSetCancel}) {
        EXPECT_FALSE(FindControl(dlg.get(), id)->isEnabled()) << id;
    }
    EXPECT_TRUE(FindControl(dlg.get(), kIdcIpSetClose)->isEnabled());
    EXPECT_FALSE(dlg->Save()) << "a busy dialog does not start again";

    PassLog log;
    int ticks = 0;
    while (dlg->result() != QDialog::Accepted && ticks < 100) {
        dlg->Tick();
        ++ticks;
        for (const Sent& s : sender_->Take()) {
            if (s.Type() == MSG_DISCOVER) log.discovers.push_back(ticks);
            if (s.Type() == MSG_RELEASE) log.releases.push_back(ticks);
        }
        if (dlg->result() != QDialog::Accepted) {
            EXPECT_EQ(dlg->Progress()->value(), ticks);
        }
    }
    EXPECT_EQ(ticks, 30);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->Progress()->value(), 30);
    EXPECT_EQ(log.discovers, (std::vector<int>{18, 24, 30}));
    EXPECT_EQ(log.releases, (std::vector<int>{18}));
    EXPECT_FALSE(dlg->ProgressTimer().isActive());
}

TEST_F(IpSetDialogTest, CloseButtonWhileBusyEndsThePassesAndCancelBeforeSaveSendsNothing)
{
    const std::vector<SelectionEntry> selection = {Device(kMacA, "192.168.0.51")};
    {
        auto dlg = Open(selection);
        dlg->show();
        qobject_cast<CTButtonPicture*>(FindControl(dlg.get(), kIdcIpSetCancel))->click();
        EXPECT_EQ(dlg->result(), QDialog::Rejected);
        EXPECT_TRUE(sender_->Take().empty());
    }
    auto dlg = Open(selection);
    dlg->show();
    ASSERT_TRUE(dlg->Save());
    for (int i = 0; i < 10; ++i) dlg->Tick();
    qobject_cast<CTButtonPicture*>(FindControl(dlg.get(), kIdcIpSetClose))->click();
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    worker.Wait();
    EXPECT_EQ(SentOfType(MSG_SET_IP).size(), 1u) << "the routine already started still sends";
    for (int i = 0; i < 30; ++i) dlg->Tick();
    EXPECT_TRUE(SentOfType(MSG_DISCOVER).empty());
}

TEST(IpAddressCtrl, ReadsBlankAsEmptyAndRefusesMalformedText)
{
    CIpAddressCtrl ctrl;
    EXPECT_TRUE(ctrl.Text().isEmpty());
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {{"10.0.0.1", "10.0.0.1"}, {"0.0.0.0", "0.0.0.0"},
                          {"256.1.1.1", ""},        {"1.2.3", ""},
                          {"a.b.c.d", ""},          {" 10.1.2.3 ", "10.1.2.3"}};
    for (const Case& c : cases) {
        ctrl.SetText(QString::fromLatin1(c.in));
        EXPECT_EQ(ctrl.Text(), QString::fromLatin1(c.out)) << c.in;
    }
    // A partly filled field reads its blank parts as 0, as the address control does.
    ctrl.Clear();
    ctrl.Field(0)->setText(QStringLiteral("10"));
    ctrl.Field(3)->setText(QStringLiteral("7"));
    EXPECT_EQ(ctrl.Text(), QStringLiteral("10.0.0.7"));
}

// Pictures of the dialog for a look by eye: PONTIQ_GRAB_DIR=/tmp/... gui_tests.
TEST(IpSetDialogLook, RendersInEnglishAndChinese)
{
    const QString folder = test::GrabFolder();
    struct Lang {
        uint32_t locale;
        const char* suffix;
    };
    for (const Lang lang : {Lang{kLocaleEnglishUs, "en"}, Lang{kLocaleChineseSimplified, "zh"}}) {
        CApplicationApp app;
        app.LoadConfiguration(test::ResourceDir(), lang.locale);
        CApplyWorker worker;
        IP_BLOCK block{};
        block.ip[0] = 192, block.ip[1] = 168, block.ip[2] = 1, block.ip[3] = 20;
        block.ip_mask[0] = block.ip_mask[1] = block.ip_mask[2] = 255;
        for (int devices : {1, 3}) {
            std::vector<SelectionEntry> selection(static_cast<size_t>(devices));
            CIpsetMutilDlg dlg(selection, block, worker);
            dlg.show();
            const QPixmap shot = dlg.grab();
            EXPECT_FALSE(shot.isNull());
            if (!folder.isEmpty()) {
                shot.save(folder +
                          QStringLiteral("/ipset_%1_%2.png").arg(devices).arg(QLatin1String(lang.suffix)));
            }
        }
        // Busy: the entries disabled and the progress a third of the way (no engine, nothing sent).
        std::vector<SelectionEntry> selection(3);
        CIpsetMutilDlg dlg(selection, block, worker);
        dlg.AddressControl(kIdcIpSetLast)->SetText(QStringLiteral("192.168.1.22"));
        dlg.show();
        ASSERT_TRUE(dlg.Save());
        for (int i = 0; i < 10; ++i) dlg.Tick();
        if (!folder.isEmpty()) {
            dlg.grab().save(folder + QStringLiteral("/ipset_busy_%1.png").arg(QLatin1String(lang.suffix)));
        }
    }
    test::ResetLanguage();
}

}  // namespace
}  // namespace pontiq
