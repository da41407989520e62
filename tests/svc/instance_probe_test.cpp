// DoIExist: the named mutex that marks a running copy, seen from this
// process, from other processes and from several threads at once.
#include "export_in_child.h"
#include "test_support.h"
#include "vksvc_library.h"

#include <doctest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace vktest;

namespace {

using DoIExistFn = LONG(WINAPI*)(LPCSTR);

const LONG kCreatedHere = 0;
const LONG kHeldElsewhere = 1;

// DoIExist of the library loaded into this process.
class InstanceProbe {
public:
    InstanceProbe() : probe_(library_.Export<DoIExistFn>("DoIExist"))
    {
        const bool bound = probe_ != nullptr;
        REQUIRE(bound);
    }
    LONG operator()(const std::string& name) const { return probe_(name.c_str()); }

private:
    VksvcLibrary library_;
    DoIExistFn probe_;
};

std::string ProbeInChild(const std::string& name)
{
    return CallInChild("DoIExist s:" + name);
}

std::string HoldArguments(const std::string& name) { return "DoIExist s:" + name; }

// --- Several callers at once ---------------------------------------------------

const int kRacers = 8;

struct Racer {
    HANDLE start;
    DoIExistFn probe;
    const char* name;
    LONG result;
};

DWORD WINAPI Race(void* parameter)
{
    Racer* racer = static_cast<Racer*>(parameter);
    WaitForSingleObject(racer->start, INFINITE);
    racer->result = racer->probe(racer->name);
    return 0;
}

} // namespace

TEST_CASE("a fresh name gives 0, and the same name again in that process gives 1")
{
    const InstanceProbe doIExist;
    CHECK(doIExist("Global\\vk-fresh") == kCreatedHere);
    CHECK(doIExist("Global\\vk-fresh") == kHeldElsewhere);
    CHECK(doIExist("Global\\vk-fresh") == kHeldElsewhere);
}

TEST_CASE("while one process holds the name, another process gets 1")
{
    const InstanceProbe doIExist;
    REQUIRE(doIExist("Global\\vk-held-here") == kCreatedHere);
    CHECK(ProbeInChild("Global\\vk-held-here") == "1");

    HoldingCall holder(HoldArguments("Global\\vk-held-there"));
    REQUIRE(holder.Result() == "0");
    CHECK(doIExist("Global\\vk-held-there") == kHeldElsewhere);
    CHECK(ProbeInChild("Global\\vk-held-there") == "1");
    CHECK(holder.End() == 0);
}

TEST_CASE("once the holder ends the name is free: the next call gets 0")
{
    const InstanceProbe doIExist;
    const std::string name = "Global\\vk-released";
    HoldingCall holder(HoldArguments(name));
    REQUIRE(holder.Result() == "0");
    // A call that finds a holder keeps nothing open...
    CHECK(doIExist(name) == kHeldElsewhere);
    CHECK(ProbeInChild(name) == "1");
    REQUIRE(holder.End() == 0);
    // ...so only the holder kept the name alive.
    CHECK(ProbeInChild(name) == "0");
    CHECK(doIExist(name) == kCreatedHere);
}

TEST_CASE("a name taken by another kind of object cannot be a mutex: counted as held")
{
    const std::string name = "Global\\vk-an-event";
    const Handle event(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    REQUIRE(event.IsValid());
    const InstanceProbe doIExist;
    CHECK(doIExist(name) == kHeldElsewhere);
    CHECK(ProbeInChild(name) == "1");
}

TEST_CASE("of several processes starting at once, exactly one gets 0")
{
    const int kProcesses = 6;
    std::vector<std::unique_ptr<HoldingCall>> callers;
    for (int i = 0; i < kProcesses; ++i)
        callers.push_back(std::make_unique<HoldingCall>(HoldArguments("Global\\vk-process-race")));

    std::vector<std::string> results;
    std::string allResults;
    for (auto& caller : callers) {
        results.push_back(caller->Result());
        allResults += results.back() + " ";
    }
    CAPTURE(allResults);
    CHECK(std::count(results.begin(), results.end(), "0") == 1);
    CHECK(std::count(results.begin(), results.end(), "1") == kProcesses - 1);
    for (auto& caller : callers)
        caller->End();
}

TEST_CASE("of several threads calling at once, exactly one gets 0")
{
    VksvcLibrary library;
    const DoIExistFn probe = library.Export<DoIExistFn>("DoIExist");
    const bool bound = probe != nullptr;
    REQUIRE(bound);
    const Handle start(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::vector<Racer> racers(kRacers, Racer{start.Get(), probe, "Global\\vk-thread-race", -1});
    std::vector<Handle> threads;
    for (Racer& racer : racers)
        threads.emplace_back(CreateThread(nullptr, 0, Race, &racer, 0, nullptr));
    SetEvent(start.Get());
    for (const Handle& thread : threads)
        REQUIRE(WaitForSingleObject(thread.Get(), 10000) == WAIT_OBJECT_0);

    const auto created = std::count_if(racers.begin(), racers.end(),
                                       [](const Racer& r) { return r.result == kCreatedHere; });
    const auto refused = std::count_if(racers.begin(), racers.end(),
                                       [](const Racer& r) { return r.result == kHeldElsewhere; });
    CHECK(created == 1);
    CHECK(refused == kRacers - 1);
}
