// pontiq-cli against simulated devices on the simulated LAN: the program itself is run, as a user
// runs it, and what it prints and what the devices hold afterwards are compared. Every run gets
// a private TMPDIR (its scratch folder must be gone afterwards) and a private lock directory.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/file_server_control.h"
#include "app/single_instance.h"
#include "store/value_format.h"
#include "tests/sim/sim_fixture.h"

#ifndef PONTIQ_CLI
#define PONTIQ_CLI ""
#endif
#ifndef PONTIQ_FILESERVER
#define PONTIQ_FILESERVER ""
#endif

namespace pontiq::e2e {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::chrono::milliseconds took{0};
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

template <size_t N>
std::string Field(const char (&text)[N], uint8_t len)
{
    return std::string(FieldText(text, len));
}

class CliEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string reason = SkipReason();
        if (!reason.empty()) {
            std::fprintf(stderr, "*** E2E TEST SKIPPED: %s ***\n", reason.c_str());
            GTEST_SKIP() << "E2E TEST SKIPPED: " << reason;
        }
        ASSERT_EQ(access(PONTIQ_CLI, X_OK), 0) << "no pontiq-cli at " << PONTIQ_CLI;
        char pattern[] = "/tmp/pontiq_cli_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "tmp");
        fs::create_directories(dir_ / "run");
    }

    void TearDown() override
    {
        if (filterSet_) RunCommand({"tc", "-n", DevNamespace(), "qdisc", "del", "dev", "simdev0", "clsact"});
        sim_.reset();
        if (!dir_.empty()) {
            std::error_code ec;
            fs::remove_all(dir_, ec);
        }
    }

    void StartSim(std::vector<std::string> options)
    {
        sim_ = std::make_unique<SimProcess>(options);
        ASSERT_FALSE(sim_->WaitReady().empty()) << "devicesim did not start: " << sim_->error();
    }

    // Runs pontiq-cli to its end; `signalAfter` sends `sig` that long after the start.
    CliRun Cli(const std::vector<std::string>& args, std::chrono::milliseconds signalAfter = {},
               int sig = SIGINT)
    {
        CliRun run;
        const fs::path out = dir_ / "out.txt";
        const fs::path err = dir_ / "err.txt";
        const auto start = Clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
            setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
            setenv("LC_ALL", "C.UTF-8", 1);
            for (const auto& [name, value] : childEnv_) setenv(name.c_str(), value.c_str(), 1);
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(o, STDOUT_FILENO);
            dup2(e, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(PONTIQ_CLI)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(PONTIQ_CLI, argv.data());
            _exit(127);
        }
        bool signalled = false;
        int status = 0;
        for (;;) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) break;
            const auto elapsed = Clock::now() - start;
            if (signalAfter.count() > 0 && !signalled && elapsed >= signalAfter) {
                kill(pid, sig);
                signalled = true;
            }
            if (elapsed > 90s) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "pontiq-cli did not end";
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        run.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadFile(out);
        run.err = ReadFile(err);
        // Whatever happened, the scratch folder is gone.
        EXPECT_TRUE(fs::is_empty(dir_ / "tmp")) << "scratch folder left behind";
        return run;
    }

    // The JSON document read by Python's json module: one line per record of `key`, the named
    // members separated by tabs ("<invalid json>" when it does not parse).
    std::vector<std::vector<std::string>> JsonRows(const std::string& json, const std::string& key,
                                                   const std::vector<std::string>& members)
    {
        const fs::path file = dir_ / "doc.json";
        std::ofstream(file, std::ios::binary) << json;
        std::string list = "[";
        for (const std::string& m : members) list += "'" + m + "',";
        list += "]";
        const std::string script =
            "import json,sys\n"
            "d=json.load(open(sys.argv[1],encoding='utf-8'))\n"
            "v=d['" +
            key +
            "']\n"
            "v=v if isinstance(v,list) else [v]\n"
            "for r in v: print('\\t'.join(str(r[m]) for m in " +
            list + "))\n";
        const fs::path py = dir_ / "read.py";
        std::ofstream(py) << script;
        std::vector<std::vector<std::string>> rows;
        std::FILE* p = popen(("python3 " + py.string() + " " + file.string() + " 2>&1").c_str(), "r");
        if (p == nullptr) return rows;
        std::string text;
        char chunk[4096];
        while (size_t n = std::fread(chunk, 1, sizeof(chunk), p)) text.append(chunk, n);
        const int status = pclose(p);
        EXPECT_EQ(status, 0) << "not a JSON document:\n" << json << "\n" << text;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> cells;
            size_t start = 0;
            for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
                cells.push_back(line.substr(start, tab - start));
            cells.push_back(line.substr(start));
            rows.push_back(std::move(cells));
        }
        return rows;
    }

    // Variables set in pontiq-cli's environment.
    std::vector<std::pair<std::string, std::string>> childEnv_;

    struct SimDevice {
        std::string mac;
        std::string ip;
        ap_info_stu record{};
    };

    std::vector<SimDevice> SimDevices()
    {
        std::vector<SimDevice> devices;
        for (const auto& d : sim_->List()) devices.push_back({d.mac, d.ip, SimRecord(d.mac)});
        return devices;
    }

    ap_info_stu SimRecord(const std::string& mac) { return sim_->Dump(mac).value_or(ap_info_stu{}); }

    std::string SimState(const std::string& mac, const std::string& key)
    {
        return sim_->Fields("state " + mac)[key];
    }

    // Drops every datagram device `ip` sends to port 9788 (its answers to commands, including its
    // record): the device is heard by discovery but never answers a command.
    void DropCommandAnswersOf(const std::string& ip)
    {
        const uint32_t address = IpToNumber(ip);
        // Ethernet at 0: type IPv4, protocol UDP, source `ip`, destination port 9788 -> shot (2).
        const std::string code = "10,40 0 0 12,21 0 6 2048,48 0 0 23,21 0 4 17,32 0 0 26,21 0 2 " +
                                 std::to_string(address) + ",40 0 0 36,21 1 0 9788,6 0 0 0,6 0 0 2";
        ASSERT_EQ(RunCommand({"tc", "-n", DevNamespace(), "qdisc", "add", "dev", "simdev0", "clsact"}), 0);
        filterSet_ = true;
        ASSERT_EQ(RunCommand({"tc", "-n", DevNamespace(), "filter", "add", "dev", "simdev0", "egress", "bpf",
                              "da", "bytecode", code}),
                  0);
    }

    fs::path dir_;
    std::unique_ptr<SimProcess> sim_;
    bool filterSet_ = false;
};

TEST_F(CliEndToEnd, DiscoverJsonListsEverySimulatedDeviceWithItsFields)
{
    StartSim({"--count", "12", "--short-form", "4", "--seed", "5"});
    const CliRun run = Cli({"discover", "--json", "--seconds", "6"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto rows = JsonRows(run.out, "devices", {"mac", "ip", "name", "model", "version", "status"});
    const auto devices = SimDevices();
    ASSERT_EQ(rows.size(), devices.size()) << run.out;
    for (const SimDevice& d : devices) {
        SCOPED_TRACE(d.mac);
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r[0] == d.mac; });
        ASSERT_NE(row, rows.end());
        ASSERT_EQ(row->size(), 6u);
        EXPECT_EQ((*row)[1], d.ip);
        EXPECT_EQ((*row)[2], CompletePrefix(Field(d.record.ap_name, d.record.ap_name_len)));
        EXPECT_EQ((*row)[3], ModelName(d.record.ap_type));
        EXPECT_EQ((*row)[4], Field(d.record.version, d.record.version_len));
        EXPECT_EQ((*row)[5], StatusText(STATUS_ONLINE));
    }

    // One device with every field of its record.
    const SimDevice& d = devices[2];
    const CliRun show = Cli({"show", d.mac, "--json"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    const auto one =
        JsonRows(show.out, "device", {"mac", "mask", "gateway", "ssid", "vlan_id", "up_time_seconds"});
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(one[0].size(), 6u);
    EXPECT_EQ(one[0][0], d.mac);
    EXPECT_EQ(one[0][1], IpText(std::span<const uint8_t, 4>(d.record.ip_block.ip_mask)));
    EXPECT_EQ(one[0][2], IpText(std::span<const uint8_t, 4>(d.record.ip_block.ip_gateway)));
    EXPECT_EQ(one[0][3], CompletePrefix(Field(d.record.radio_block.security.ssid,
                                              d.record.radio_block.security.ssid_len)));
    EXPECT_EQ(one[0][4], std::to_string(d.record.vlan_block.vlan_id));

    // The list in CSV: a header and one line per device.
    const CliRun csv = Cli({"list", "--csv", "--seconds", "4"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_TRUE(
        csv.out.starts_with("name,model,ip,mac,work_mode,ssid,channel,security,tx_power,version,"
                            "transparent_bridge,kelvra,uptime,status\r\n"));
}

TEST_F(CliEndToEnd, CommandsTakeEffectAtTheDevices)
{
    StartSim({"--count", "8", "--apply-ms", "300", "--restart-ms", "500", "--seed", "11"});
    const auto devices = SimDevices();
    ASSERT_EQ(devices.size(), 8u);

    // set-name, with Chinese.
    const std::string name = "屋顶-7号";
    CliRun run = Cli({"set-name", devices[0].mac, name, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto named = JsonRows(run.out, "results", {"mac", "result"});
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0], (std::vector<std::string>{devices[0].mac, "done"}));
    const ap_info_stu renamed = SimRecord(devices[0].mac);
    EXPECT_EQ(Field(renamed.ap_name, renamed.ap_name_len), name);

    // kelvra on, at a model that has it.
    const auto kelvra = std::find_if(devices.begin() + 1, devices.end(),
                                     [](const SimDevice& d) { return IsKelvraAvailable(d.record.ap_type); });
    if (kelvra != devices.end()) {
        run = Cli({"kelvra", "on", kelvra->mac});
        ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
        EXPECT_EQ(SimRecord(kelvra->mac).extension_block.tdmaEn, 1);
    } else {
        ADD_FAILURE() << "no simulated model with Kelvra; choose another seed";
    }

    // reboot.
    const std::string restartsBefore = SimState(devices[4].mac, "restarts");
    run = Cli({"reboot", devices[4].mac});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("done"), std::string::npos) << run.out;
    EXPECT_TRUE(WaitUntil([&] { return SimState(devices[4].mac, "restarts") != restartsBefore; }, kPatience));

    // set-ip for three devices: consecutive addresses in the order given.
    run = Cli({"set-ip", devices[5].mac, devices[6].mac, devices[7].mac, "--ip", "10.99.1.254", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto moved = JsonRows(run.out, "results", {"mac", "new_ip", "result"});
    ASSERT_EQ(moved.size(), 3u);
    const char* want[] = {"10.99.1.254", "10.99.2.1", "10.99.2.2"};  // .255 and .0 are skipped
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(moved[i], (std::vector<std::string>{devices[5 + i].mac, want[i], "done"}));
        EXPECT_TRUE(WaitUntil([&] { return SimState(devices[5 + i].mac, "ip") == want[i]; }, kPatience))
            << devices[5 + i].mac;
    }
}

TEST_F(CliEndToEnd, ExitCodesForRefusalsSilenceAndBadInput)
{
    StartSim({"--count", "4", "--seed", "7"});
    const auto devices = SimDevices();
    ASSERT_EQ(devices.size(), 4u);

    // A device that refuses.
    sim_->Command("result " + devices[0].mac + " 9 1");
    CliRun run = Cli({"reboot", devices[0].mac});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("refused"), std::string::npos) << run.out;
    EXPECT_EQ(SimState(devices[0].mac, "restarts"), "0");

    // A device heard by the search that never answers a command: the repeats run out.
    DropCommandAnswersOf(devices[1].ip);
    // The search runs its whole time (the first is never described): enough to find both.
    run = Cli({"reboot", devices[1].mac, devices[2].mac, "--seconds", "6", "--json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const auto rows = JsonRows(run.out, "results", {"mac", "result"});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{devices[1].mac, "no answer"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{devices[2].mac, "done"}));
    EXPECT_NE(run.err.find("The device did not answer (" + devices[1].mac + ")"), std::string::npos)
        << run.err;

    // Bad input: the system's message, exit code 2, and the device keeps what it had.
    const std::string nameBefore =
        Field(SimRecord(devices[3].mac).ap_name, SimRecord(devices[3].mac).ap_name_len);
    const struct {
        std::vector<std::string> args;
        const char* message;
    } bad[] = {
        {{"set-name", devices[3].mac, std::string(33, 'x')}, "Device name maximum allowed 32 bytes"},
        {{"set-ip", devices[3].mac, "--ip", "10.99.0.200", "--gateway", "10.98.0.1"},
         "Ip address and gateway address is not in the same subnet!"},
        {{"set-ip", devices[3].mac, "--ip", "10.99.0.300"}, "The ip address is invalid!"},
        {{"reboot", devices[3].mac, "02:00:00:00:00:99", "--seconds", "5"},
         "No device was found (02:00:00:00:00:99)"},
        {{"reboot", "02:00:00:00:00"}, "Mac address is error!!"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        run = Cli(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    const ap_info_stu after = SimRecord(devices[3].mac);
    EXPECT_EQ(Field(after.ap_name, after.ap_name_len), nameBefore);
    EXPECT_EQ(SimState(devices[3].mac, "ip"), devices[3].ip);
    EXPECT_EQ(SimState(devices[3].mac, "restarts"), "0");

    // Nothing found.
    run = Cli({"discover", "--mac", "02:00:00:00:00:99", "--seconds", "2"});
    EXPECT_EQ(run.exitCode, 3);
}

TEST_F(CliEndToEnd, RefusesBesideTheWindowProgramAndEndsCleanlyOnASignal)
{
    StartSim({"--count", "2"});
    {
        SingleInstanceLock window;
        ASSERT_EQ(window.Acquire((dir_ / "run").string()), SingleInstanceLock::Result::Acquired);
        const CliRun run = Cli({"discover", "--seconds", "2"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("Pontiq is running on this machine"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    for (const int sig : {SIGINT, SIGTERM}) {
        const CliRun run = Cli({"discover", "--seconds", "60"}, 1500ms, sig);
        EXPECT_EQ(run.exitCode, 128 + sig);
        EXPECT_LT(run.took, 10s);
    }
}

// The real FileServer, as a copy under a name of its own in a program folder of the test's, so
// that no other FileServer is ended; the upgrade's one-second steps run ten times faster.
class CliUpgradeEndToEnd : public CliEndToEnd {
protected:
    void SetUp() override
    {
        CliEndToEnd::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (std::string(PONTIQ_FILESERVER).empty()) GTEST_SKIP() << "no FileServer built";
        names_.server = "FileServerCli" + std::to_string(getpid());
        names_.aux = names_.server + "Aux";
        fs::create_directories(dir_ / "program" / "service");
        fs::copy_file(PONTIQ_FILESERVER, dir_ / "program" / "service" / names_.server);
        childEnv_ = {{"PONTIQ_CLI_FILESERVER", (dir_ / "program" / "service" / names_.server).string()},
                     {"PONTIQ_CLI_UPGRADE_TICK_MS", "100"}};
        fs::create_directories(dir_ / "firmware");
        firmware_ = (dir_ / "firmware" / "V9.8.7.bin").string();
        std::string bytes(100 * 1024, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
        std::ofstream(firmware_, std::ios::binary) << bytes;
    }

    bool ServerRunning() const
    {
        const COperateSystemInfo system;
        const COperateFileIni ini;
        const CFileServerControl control(system, ini, (dir_ / "program").string() + "/", names_);
        return control.IsRunning();
    }

    CFileServerControl::Names names_;
    std::string firmware_;
};

TEST_F(CliUpgradeEndToEnd, TwoDevicesFetchTheFirmwareOverTftpAndReportDone)
{
    StartSim({"--count", "3", "--seed", "8", "--types", "21", "--heartbeat-ms", "500", "--restart-ms", "1000",
              "--flash-ms", "500"});
    const auto devices = SimDevices();
    ASSERT_EQ(devices.size(), 3u);
    const std::string leftVersion = Field(devices[2].record.version, devices[2].record.version_len);

    const CliRun run = Cli({"upgrade", firmware_, devices[0].mac, devices[1].mac, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const auto rows = JsonRows(run.out, "results", {"mac", "result"});
    ASSERT_EQ(rows.size(), 2u) << run.out;
    EXPECT_EQ(rows[0], (std::vector<std::string>{devices[0].mac, "done"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{devices[1].mac, "done"}));
    EXPECT_FALSE(ServerRunning()) << "the server runs only for the time of the upgrade";
    EXPECT_EQ(sim_->Fields("stats")["upgrades_done"], "2");
    for (const SimDevice& d : {devices[0], devices[1]}) {
        SCOPED_TRACE(d.mac);
        // A device reports success first and goes down a moment later to boot the new firmware.
        EXPECT_TRUE(WaitUntil([&] { return SimState(d.mac, "restarts") == "1"; }, kPatience))
            << "restarts=" << SimState(d.mac, "restarts");
        const ap_info_stu after = SimRecord(d.mac);
        EXPECT_EQ(Field(after.version, after.version_len), "V9.8.7");
    }
    const ap_info_stu left = SimRecord(devices[2].mac);
    EXPECT_EQ(Field(left.version, left.version_len), leftVersion) << "the device not named is left alone";
}

TEST_F(CliUpgradeEndToEnd, RefusalsAndAServerThatCannotServeSendNothing)
{
    StartSim({"--count", "4", "--seed", "3", "--types", "21,5"});
    const auto devices = SimDevices();
    ASSERT_EQ(devices.size(), 4u);
    const auto other = std::find_if(devices.begin(), devices.end(), [&](const SimDevice& d) {
        return ModelName(d.record.ap_type) != ModelName(devices[0].record.ap_type);
    });
    ASSERT_NE(other, devices.end()) << "the seed gives one model only";

    const struct {
        std::vector<std::string> args;
        const char* message;
    } bad[] = {
        {{"upgrade", firmware_, devices[0].mac, other->mac, "--seconds", "20"},
         "The devices are of different models; upgrade one model at a time"},
        {{"upgrade", (dir_ / "firmware" / "none.bin").string(), devices[0].mac},
         "The upgrade file cannot be read"},
        {{"upgrade", (dir_ / "firmware" / "V9.8.7.txt").string(), devices[0].mac},
         "Upgrade file is not .bin file!"},
        {{"upgrade", firmware_, devices[0].mac, "02:00:00:00:00:99", "--seconds", "5"},
         "No device was found (02:00:00:00:00:99)"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.message);
        const CliRun run = Cli(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }

    // Another program holds the TFTP port: the server cannot serve, and says so.
    {
        const int holder = socket(AF_INET, SOCK_DGRAM, 0);
        ASSERT_GE(holder, 0);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(69);
        ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&any), sizeof(any)), 0);
        const CliRun run = Cli({"upgrade", firmware_, devices[0].mac});
        close(holder);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("The file server cannot open its port: another program is using it."),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(ServerRunning());
    }

    // Interrupted while the server starts: it is ended with the run.
    const CliRun run = Cli({"upgrade", firmware_, devices[0].mac}, 2500ms, SIGTERM);
    EXPECT_EQ(run.exitCode, 128 + SIGTERM);
    EXPECT_FALSE(ServerRunning());
    EXPECT_EQ(sim_->Fields("stats")["upgrades_done"], "0");
    for (const SimDevice& d : devices) EXPECT_EQ(SimState(d.mac, "restarts"), "0") << d.mac;
}

}  // namespace
}  // namespace pontiq::e2e
