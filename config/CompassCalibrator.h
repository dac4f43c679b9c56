#ifndef VENTROLLA_CONFIG_COMPASSCALIBRATOR_H
#define VENTROLLA_CONFIG_COMPASSCALIBRATOR_H

#include <Eigen/Dense>

#include <QByteArray>
#include <QtGlobal>

// The compass fit of one calibration: collects the magnetometer samples a flight module streams
// while it is turned in all directions, fits an ellipsoid to them by least squares, and turns the
// fit into the offset and correction matrix the module stores (|W (s - c)| = 1 on the ellipsoid).
//
// Everything is single precision, in the order the module's own firmware was matched against:
// the same steps in another precision or order give a solution text that differs in its last
// bits.
class CompassCalibrator
{
public:
    // Mean corrected magnitude, mean absolute deviation from 1, and the share of samples whose
    // corrected magnitude is 10 % or more away from 1.
    struct Results
    {
        float meanMagnitude = 0;
        float meanDeviation = 0;
        float distortion = 0;
    };

    static constexpr int capacity = 1000;
    static constexpr int solutionTextLength = 72;

    CompassCalibrator();

    // Parses hexadecimal sample text (28 digits a record, anything else skipped); a record may
    // be split across calls. Returns the records completed by this call, those dropped for want
    // of room included.
    int addSamples(const char *bytes, int count);
    int sampleCount() const;
    Eigen::Vector3f sample(int index) const; // (x, y, z) of a stored sample, full scale ±2

    bool fit();
    Results computeResults() const;
    // Offset c1..c3 and the upper triangle of W, eight hexadecimal digits each.
    QByteArray solutionText() const;

    Eigen::Vector3f offset() const { return c; }
    Eigen::Matrix3f correction() const { return W; }

    // The module's 32-bit form of one value: exponent field, sign, 23 fraction bits.
    static QByteArray encodeValue(float value);

private:
    static constexpr int fieldsPerRecord = 7;
    static constexpr int digitsPerField = 4;

    void storeSample(const Eigen::Vector3f &sample);

    int fitSize = 0;
    int count = 0;
    Eigen::MatrixXf D; // (x², y², z², 2xy, 2xz, 2yz, 2x, 2y, 2z) per sample
    Eigen::MatrixXf S; // (x, y, z) per sample
    Eigen::Matrix3f W = Eigen::Matrix3f::Zero();
    Eigen::Vector3f c = Eigen::Vector3f::Zero();
    Eigen::Matrix3f solutionW = Eigen::Matrix3f::Zero();
    Eigen::Vector3f solutionC = Eigen::Vector3f::Zero();

    quint16 fields[fieldsPerRecord] = {};
    int field = 0;  // index of the field being filled
    int digits = 0; // digits already in it
};

#endif
