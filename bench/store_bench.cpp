// The store at 10,000 devices: writes per second and the cost of one list page, by the
// counted/limited query and by reading every matching row.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "store/sql_management.h"
#include "store/value_format.h"

namespace pontiq {
namespace {

constexpr int kDevices = 10000;

std::string MacOf(int index)
{
    char text[18];
    std::snprintf(text, sizeof(text), "00:1a:%02x:%02x:%02x:%02x", (index >> 24) & 0xff, (index >> 16) & 0xff,
                  (index >> 8) & 0xff, index & 0xff);
    return text;
}

ap_info_stu Device(int index)
{
    ap_info_stu r{};
    SetCText(r.mac, MacOf(index));
    const auto codes = ModelCodes();
    r.ap_type = static_cast<uint16_t>(codes[static_cast<size_t>(index) % codes.size()]);
    r.work_mode = static_cast<uint8_t>(index % 7 + 1);
    r.up_time = static_cast<uint32_t>(index) * 37u;
    r.ip_block.ip[0] = index % 3 ? 10 : 192;
    r.ip_block.ip[1] = static_cast<uint8_t>(index >> 16);
    r.ip_block.ip[2] = static_cast<uint8_t>(index >> 8);
    r.ip_block.ip[3] = static_cast<uint8_t>(index);
    r.ap_name_len = SetFieldText(r.ap_name, "site-" + std::to_string(index));
    r.version_len = SetFieldText(r.version, "V2.1." + std::to_string(index % 40));
    r.radio_block.channel = static_cast<uint8_t>(index % 165);
    r.radio_block.tx_power = static_cast<uint8_t>(index % 30);
    r.radio_block.security.secure_mode = static_cast<uint8_t>(index % 7);
    r.radio_block.security.ssid_len =
        SetFieldText(r.radio_block.security.ssid, "net-" + std::to_string(index % 97));
    r.extension_block.bridge_transparent = static_cast<uint8_t>(index % 2);
    return r;
}

// A store of its own in a private directory, filled with kDevices devices.
class BenchStore {
public:
    BenchStore()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pontiq-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        m_dir = pattern;
        m_store = std::make_unique<CSqlManagement>(m_dir);
        for (int i = 0; i < kDevices; ++i) m_store->SaveDevice(Device(i));
    }
    ~BenchStore()
    {
        m_store.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    CSqlManagement& operator*() { return *m_store; }

private:
    std::string m_dir;
    std::unique_ptr<CSqlManagement> m_store;
};

CSqlManagement& SharedStore()
{
    static BenchStore store;
    return *store;
}

void BM_SaveDeviceInsert(benchmark::State& state)
{
    BenchStore store;  // its own: the rows it adds must not change the other measurements
    int next = kDevices;
    for (auto _ : state) {
        if (!(*store).SaveDevice(Device(next++))) state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveDeviceInsert)->Unit(benchmark::kMicrosecond);

void BM_SaveDeviceUpdate(benchmark::State& state)
{
    CSqlManagement& store = SharedStore();
    int next = 0;
    for (auto _ : state) {
        if (!store.SaveDevice(Device(next))) state.SkipWithError("save failed");
        next = (next + 7919) % kDevices;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveDeviceUpdate)->Unit(benchmark::kMicrosecond);

void BM_UpdateUptime(benchmark::State& state)
{
    CSqlManagement& store = SharedStore();
    int next = 0;
    uint32_t upTime = 0;
    for (auto _ : state) {
        const std::string mac = MacOf(next);
        const ap_info_stu r = Device(next);
        if (!store.UpdateUptime(mac, IpText(r.ip_block.ip), ++upTime)) state.SkipWithError("update failed");
        next = (next + 7919) % kDevices;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpdateUptime)->Unit(benchmark::kMicrosecond);

// Arguments: sort key, page number, search case (0 none, 1 a few matches, 2 every device),
// 1 for the read-every-row way.
void BM_ListDevicesPage(benchmark::State& state)
{
    CSqlManagement& store = SharedStore();
    const int key = static_cast<int>(state.range(0));
    const int page = static_cast<int>(state.range(1));
    const char* searches[] = {"", "site-77", "Online"};
    const char* search = searches[state.range(2)];
    const bool readAll = state.range(3) != 0;
    state.SetLabel(std::string(readAll ? "read every row" : "count + limit") + ", search '" + search + "'");
    for (auto _ : state) {
        std::vector<ap_info_stu> list;
        int pages = 0;
        int online = 0;
        const bool ok = readAll
                            ? store.ListDevicesPageReadAll(key, list, pages, online, 30, page, true, search)
                            : store.ListDevicesPage(key, list, pages, online, 30, page, true, search);
        if (!ok || online == 0) state.SkipWithError("query failed");
        benchmark::DoNotOptimize(list.data());
    }
}
BENCHMARK(BM_ListDevicesPage)
    ->ArgNames({"key", "page", "search", "readAll"})
    ->Args({1, 1, 0, 0})
    ->Args({1, 170, 0, 0})
    ->Args({2, 1, 0, 0})
    ->Args({1, 1, 1, 0})
    ->Args({1, 1, 2, 0})
    ->Args({1, 170, 2, 0})
    ->Args({1, 1, 0, 1})
    ->Args({1, 1, 1, 1})
    ->Args({1, 1, 2, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pontiq

BENCHMARK_MAIN();
