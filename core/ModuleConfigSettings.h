#ifndef VENTROLLA_CORE_MODULECONFIGSETTINGS_H
#define VENTROLLA_CORE_MODULECONFIGSETTINGS_H

class Model;

// Settings of the module configuration window, shared by the main window, the configuration
// window and the calibration states. Owned by the model.
struct ModuleConfigSettings
{
    explicit ModuleConfigSettings(Model *owner) : model(owner) {}

    Model *model;
    int configMode = 0;       // 0 the run serves the main window, 1 the configuration window
    int calibrationType = 0;  // 0 compass, 1 anemometer, 2 thermistor
    int cupAnemometer = 0;    // 0 pitot tube, 1 cup anemometer
    int thermistorOption = 0; // 0 automatic, 1 reference temperature, 2 Beta change
};

#endif
