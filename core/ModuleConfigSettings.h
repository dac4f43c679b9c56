#ifndef VENTROLLA_CORE_MODULECONFIGSETTINGS_H
#define VENTROLLA_CORE_MODULECONFIGSETTINGS_H

class Model;

// Settings of the module configuration window, shared by the main window, the configuration
// window and the calibration states. Owned by the model.
struct ModuleConfigSettings
{
    // The values of configMode: which window the acquisition serves.
    enum ConfigMode { MainWindowMode = 0, ConfigurationWindowMode = 1 };
    // The values of calibrationType.
    enum CalibrationType {
        CompassCalibration = 0,
        AnemometerCalibration = 1,
        ThermistorCalibration = 2
    };
    // The values of thermistorOption: automatic, against a reference temperature, or a new Beta.
    enum ThermistorOption { AutomaticThermistor = 0, ReferenceThermistor = 1, BetaThermistor = 2 };

    explicit ModuleConfigSettings(Model *owner) : model(owner) {}

    Model *model;
    int configMode = MainWindowMode;
    int calibrationType = CompassCalibration;
    int cupAnemometer = 0; // 0 pitot tube, 1 cup anemometer
    int thermistorOption = AutomaticThermistor;
};

#endif
