#ifndef VENTROLLA_TOOLS_WINDOWDRIVER_H
#define VENTROLLA_TOOLS_WINDOWDRIVER_H

#include <QString>

#include <functional>
#include <memory>

class MainWindow;
class Model;

// Works the real main window as a user would, for the screenshot and the benchmarks: answers
// the set-up dialog, chooses Acquire and types the base station's port into the serial-port
// dialog, waits for the modules, presses Done, then Run and Stop from the menu.
class WindowDriver
{
public:
    struct Choices
    {
        bool metresPerSecond = false;
        bool gpsFields = false; // latitude, longitude, course and speed
    };

    // Builds the window; its set-up dialog is answered with the choices.
    explicit WindowDriver(const Choices &choices);
    ~WindowDriver();

    MainWindow &window();
    Model &model();

    // Lets the base station's configuration run on a clock this many times faster than real
    // time (the radio's guard time must be shortened to match).
    void speedUpConfiguration(int factor);

    // From the port through configuration and acquisition of moduleCount modules to Stopped.
    bool acquire(const QString &portName, int moduleCount, int timeoutMs);
    bool run(int timeoutMs);
    bool stop(int timeoutMs);

    // Runs the event loop until condition holds or timeoutMs has passed.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs);

private:
    void trigger(const char *actionName);
    QString stateText() const;

    std::unique_ptr<MainWindow> window_;
    Model *model_ = nullptr;
};

#endif
