// devicesim: plays up to 5000 devices of the wire protocol on the device-side interface of a
// private network (tools/simnet/simnet.sh), for the end-to-end tests, the benchmark and the demo.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/devicesim/sim_net.h"
#include "tools/devicesim/sim_options.h"

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const pontiq::sim::ParseResult parsed = pontiq::sim::ParseOptions(args);
    if (!parsed.options) {
        const bool help = parsed.message.starts_with("usage:");
        std::fprintf(help ? stdout : stderr, "%s%s\n", help ? "" : "devicesim: ", parsed.message.c_str());
        return help ? 0 : 2;
    }
    return pontiq::sim::RunOnInterface(*parsed.options);
}
