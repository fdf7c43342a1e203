// zelmont-sim: a simulated Zelmont detector on a TCP port, for the demo and the tests.

#include "detector.h"
#include "kervola_version.h"
#include "options.h"
#include "server.h"

#include <utility>
#include <boost/asio.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>

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
    std::signal(SIGPIPE, SIG_IGN);

    Detector detector(options);
    std::string error;
    if (!detector.init(error)) {
        std::cerr << "zelmont-sim: " << error << "\n";
        return 1;
    }

    boost::asio::io_context io;
    Server server(io, detector, options);
    if (!server.start(error)) {
        std::cerr << "zelmont-sim: " << error << "\n";
        return 1;
    }
    // Before the port is announced: whoever read the line may stop it at once.
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&server](const boost::system::error_code& ec, int) {
        if (!ec)
            server.stop();
    });

    const auto at = server.endpoint();
    // Scripts and tests read the port from this first line, so it goes out at once.
    std::cout << "listening on " << at.address().to_string() << ":" << at.port() << std::endl;
    io.run();
    return 0;
}
