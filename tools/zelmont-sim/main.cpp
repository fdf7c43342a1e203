// zelmont-sim: simulated Zelmont detectors on TCP ports, for the demo and the tests.

#include "detector.h"
#include "kervola_version.h"
#include "members.h"
#include "options.h"
#include "server.h"

#include <utility>
#include <boost/asio.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

// A fleet needs a descriptor per listening port on top of its connections.
void raise_descriptor_limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    if (const std::string problem = parse_options(argc, argv, options); !problem.empty()) {
        std::cerr << "zelmont-sim: " << problem << "\n" << usage_text();
        return 2;
    }
    if (options.help) {
        std::cout << usage_text();
        return 0;
    }
    if (options.version) {
        std::cout << "zelmont-sim " KERVOLA_VERSION "\n";
        return 0;
    }
    if (options.port != 0 && options.port + options.detectors - 1 > 65535) {
        std::cerr << "zelmont-sim: " << options.detectors << " ports from " << options.port
                  << " run past 65535\n";
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    if (options.detectors > 1)
        raise_descriptor_limit();

    SimShared shared;
    if (!options.log_file.empty()) {
        shared.log.open(options.log_file, std::ios::out | std::ios::app);
        if (!shared.log) {
            std::cerr << "zelmont-sim: cannot open log " << options.log_file << "\n";
            return 1;
        }
    }

    boost::asio::io_context io;
    std::vector<std::unique_ptr<Detector>> detectors;
    std::vector<std::unique_ptr<Server>> servers;
    std::vector<MemberAddress> members;
    std::string error;
    for (int index = 1; index <= options.detectors; ++index) {
        const SimOptions own = member_options(options, index);
        auto detector = std::make_unique<Detector>(own);
        if (!detector->init(error)) {
            std::cerr << "zelmont-sim: " << error << "\n";
            return 1;
        }
        auto server = std::make_unique<Server>(io, *detector, own, shared);
        if (!server->start(error)) {
            std::cerr << "zelmont-sim: " << error << "\n";
            return 1;
        }
        const auto at = server->endpoint();
        members.push_back({member_name(index), at.address().to_string(), at.port()});
        detectors.push_back(std::move(detector));
        servers.push_back(std::move(server));
    }
    if (!options.write_hosts.empty() &&
        !write_hosts(options.write_hosts, members, detectors.front()->login(),
                     detectors.front()->password(), error)) {
        std::cerr << "zelmont-sim: " << error << "\n";
        return 1;
    }
    // Before the ports are announced: whoever read the lines may stop it at once.
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&servers](const boost::system::error_code& ec, int) {
        if (ec)
            return;
        for (auto& server : servers)
            server->stop();
    });

    // Scripts and tests read the ports from these lines, so they go out at once.
    std::string lines;
    for (const auto& m : members)
        lines += "listening on " + m.address + ":" + std::to_string(m.port) + "\n";
    std::cout << lines << std::flush;
    io.run();
    return 0;
}
