#include "Config.h"
#include "ServerApp.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    std::string error;
    auto config = tarn::server::ParseArgs(argc, argv, &error);
    if (!config) {
        std::fprintf(stderr, "tarn-server: %s\n\n%s", error.c_str(),
                     tarn::server::HelpText().c_str());
        return 2;
    }
    if (config->help) {
        std::fputs(tarn::server::HelpText().c_str(), stdout);
        return 0;
    }
    return tarn::server::RunServer(*config);
}
