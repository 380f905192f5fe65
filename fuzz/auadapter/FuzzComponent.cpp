#include "FuzzComponent.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

FuzzComponent& FuzzComponent::instance()
{
    static FuzzComponent* shared = [] {
        auto* c = new FuzzComponent;
        const char* built = std::getenv("DC_FUZZ_BUNDLE");
        c->root = fs::temp_directory_path() / ("au-fuzz-" + std::to_string(getpid()));
        c->bundle = c->root / "DitherCrunch.component";
        std::error_code ec;
        fs::remove_all(c->root, ec);
        fs::create_directories(c->root / "home" / "Library" / "Audio", ec);
        fs::copy(built ? built : DC_AU_BUNDLE, c->bundle, fs::copy_options::recursive, ec);
        if (ec)
        {
            std::fprintf(stderr, "cannot copy the component bundle: %s\n", ec.message().c_str());
            std::abort();
        }
        setenv("HOME", (c->root / "home").c_str(), 1);
        setenv("TWINFOLD_LOCAL_DOMAIN", (c->root / "local").c_str(), 1);
        FSRef ref{};
        ComponentDescription looking{0x61756D66, 0x4B77517A, 0x54726E62, 0, 0};
        if (FSPathMakeRef(reinterpret_cast<const UInt8*>(c->bundle.c_str()), &ref, nullptr) != noErr ||
            RegisterComponentFileRef(&ref, 0) != noErr || !(c->component = FindNextComponent(nullptr, &looking)))
        {
            std::fprintf(stderr, "cannot register the component bundle\n");
            std::abort();
        }
        std::atexit([] { std::error_code e; fs::remove_all(shared->root, e); });
        return c;
    }();
    return *shared;
}
