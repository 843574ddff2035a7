// The device search run of the status page as a plain schedule: one Tick per second of the
// search timer. A run lasts 50 ticks; every third tick sends a new discovery request and reloads
// page 1, so the devices that answered since show up while the run goes on.
#pragma once

namespace pontiq {

class StatusSearchRun {
public:
    static constexpr int kTicks = 50;
    static constexpr int kDiscoverEvery = 3;
    static constexpr int kTickMs = 1000;

    enum class Step {
        None,               // nothing to do on this tick
        DiscoverAndReload,  // Discover, then load page 1
        Stop,               // the run is over: stop it
    };

    // Begins a run at tick 0 (a running run starts over).
    void Start();
    // Ends the run; later ticks do nothing.
    void Stop();
    // One second of the run. Ticks of a run that is not going on give None.
    Step Tick();

    bool Running() const { return running_; }
    int Ticks() const { return ticks_; }  // seconds elapsed in the current (or last) run

private:
    bool running_ = false;
    int ticks_ = 0;
};

}  // namespace pontiq
