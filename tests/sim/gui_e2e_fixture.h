// The fixture the window end-to-end tests share: a store in a temporary folder, message boxes
// recorded and answered instead of waiting for a user, the simulator in the device namespace, a
// real engine on the PC namespace's adapter, and the page under test over them. The page is
// made by each test's own fixture; the rest is torn down here in the order the page needs.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/controls/message_box.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/ap_info.h"
#include "store/sql_management.h"
#include "tests/sim/sim_fixture.h"
#include "ui/config/management_dlg.h"

namespace pontiq::e2e {

// The PC's address on the simulated LAN.
inline constexpr const char* kPcIp = "10.99.0.1";

inline void Pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// WaitUntil with the event loop kept running between the polls.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return WaitUntil(done, timeout, Pump, 20ms);
}

struct SimDevice {
    std::string mac;
    std::string ip;
};

template <class Page>
class GuiEndToEnd : public ::testing::Test {
protected:
    // `tempName` names the temporary folder, so that a folder left behind says whose it is.
    explicit GuiEndToEnd(std::string tempName) : tempName_(std::move(tempName)) {}

    void SetUp() override
    {
        const std::string reason = SkipReason();
        if (!reason.empty()) {
            std::fprintf(stderr, "*** E2E TEST SKIPPED: %s ***\n", reason.c_str());
            GTEST_SKIP() << "E2E TEST SKIPPED: " << reason;
        }
        std::string pattern = "/tmp/" + tempName_ + "_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        store_ = engine_store::CreateStore(StoreFolder());
        previousPresenter_ = SetMessagePresenter([this](const MessageRequest& request) {
            messages_.push_back(request.text.toStdString());
            return MessageResult::Ok;
        });
        presenterSet_ = true;
    }

    void TearDown() override
    {
        page_.reset();  // ends its workers and sender while the engine is still there
        engine_.reset();
        sim_.reset();
        store_.reset();
        if (presenterSet_) SetMessagePresenter(previousPresenter_);
        if (!dir_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }

    // The folder the store is made in.
    virtual std::string StoreFolder() const { return dir_; }

    // The simulator with `simOptions`, up and ready, and a started engine.
    void StartSimAndEngine(const std::vector<std::string>& simOptions)
    {
        sim_ = std::make_unique<SimProcess>(simOptions);
        ASSERT_FALSE(sim_->WaitReady().empty()) << "devicesim did not start: " << sim_->error();
        EngineOptions options;
        options.localEncoding = "UTF-8";
        engine_ = std::make_unique<CommEngine>(*store_, options);
        ASSERT_TRUE(engine_->Start(3, 500));
    }

    // The engine sees one adapter: the PC's on the simulated LAN.
    void ExpectPcAdapterOnly()
    {
        const auto addresses = engine_->AdapterAddresses();
        ASSERT_EQ(addresses.size(), 1u);
        ASSERT_EQ(CText(addresses[0].ip), kPcIp);
    }

    // The simulated devices, as the simulator lists them.
    std::vector<SimDevice> SimDevices()
    {
        std::vector<SimDevice> devices;
        for (const auto& d : sim_->List()) devices.push_back({d.mac, d.ip});
        return devices;
    }

    // How many devices the store holds.
    size_t StoredCount()
    {
        std::vector<ap_info_stu> list;
        int pages = 0, online = 0;
        store_->ListDevicesPage(1, list, pages, online, 100, 1, true, "");
        return list.size();
    }

    // The record the simulated device holds now (texts as the device keeps them, UTF-8); none,
    // with why in `why`, when the simulator gives no whole record.
    std::optional<ap_info_stu> SimDump(const std::string& mac, std::string* why = nullptr)
    {
        return sim_->Dump(mac, why);
    }

    // The simulated device's record, all zero when there is none.
    ap_info_stu SimRecord(const std::string& mac) { return SimDump(mac).value_or(ap_info_stu{}); }

    // The simulated device's name, or why there is none.
    std::string SimName(const std::string& mac)
    {
        std::string why;
        const auto r = SimDump(mac, &why);
        return r ? std::string(FieldText(r->ap_name, r->ap_name_len)) : why;
    }

    std::string SimIp(const std::string& mac) { return sim_->Fields("state " + mac)["ip"]; }

    std::string dir_;
    std::shared_ptr<CSqlManagement> store_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<CommEngine> engine_;
    std::unique_ptr<Page> page_;
    std::vector<std::string> messages_;

private:
    std::string tempName_;
    MessagePresenter previousPresenter_;
    bool presenterSet_ = false;
};

// The management page over every simulated device, as the engine's search has stored them.
class ManagementPageEndToEnd : public GuiEndToEnd<CManagementDlg> {
protected:
    using GuiEndToEnd::GuiEndToEnd;

    // The simulator, the engine, a search until all `count` devices are stored, and the page.
    void StartManagementPage(const std::vector<std::string>& simOptions, int count,
                             std::chrono::milliseconds searchTimeout)
    {
        ASSERT_NO_FATAL_FAILURE(StartSimAndEngine(simOptions));
        ASSERT_NO_FATAL_FAILURE(ExpectPcAdapterOnly());

        engine_->StartSearch(std::nullopt);
        ASSERT_TRUE(PumpUntil(
            [&] {
                std::vector<std::string> macs;
                return store_->GetAllMacs(macs) && static_cast<int>(macs.size()) == count;
            },
            searchTimeout))
            << "not every device was described";

        page_ =
            std::make_unique<CManagementDlg>(CManagementDlg::Services{engine_.get(), store_.get()}, nullptr);
        page_->SetShellHooks({[](int32_t) {}});
        page_->resize(1200, 800);
        page_->show();
        page_->PageSizeList()->setCurrentIndex(2);  // 50 rows
        page_->RefreshPage(1);
        ASSERT_EQ(page_->RowCount(), count);
    }
};

}  // namespace pontiq::e2e
