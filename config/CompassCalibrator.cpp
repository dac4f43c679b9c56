#include "config/CompassCalibrator.h"

#include <cmath>

namespace {

// Value of a hexadecimal digit, or -1 for any other byte. The module sends upper-case digits;
// lower-case ones mean the same.
int digitValue(unsigned char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    return -1;
}

// A magnetometer word: -32768 ... 32767 onto -2.0 ... 2.0 of full scale.
float axisValue(quint16 word)
{
    const float positiveScale = 2.0f / 32767.0f;
    const float nonPositiveScale = 2.0f / 32768.0f;
    const qint16 value = qint16(word);
    return float(value) * (value >= 1 ? positiveScale : nonPositiveScale);
}

} // namespace

CompassCalibrator::CompassCalibrator()
    : D(Eigen::MatrixXf::Zero(capacity, 9)), S(Eigen::MatrixXf::Zero(capacity, 3))
{
}

int CompassCalibrator::addSamples(const char *bytes, int size)
{
    int completed = 0;
    for (int i = 0; i < size; ++i) {
        const int value = digitValue(static_cast<unsigned char>(bytes[i]));
        if (value < 0)
            continue;
        fields[field] = quint16(fields[field] * 16 + value);
        if (++digits < digitsPerField)
            continue;
        digits = 0;
        if (++field < fieldsPerRecord)
            continue;
        field = 0;
        ++completed;
        // Fields 1 to 4 carry other sensors; 5 to 7 are the magnetometer's axes.
        storeSample(Eigen::Vector3f(axisValue(fields[4]), axisValue(fields[5]),
                                    axisValue(fields[6])));
        for (quint16 &f : fields)
            f = 0;
    }
    return completed;
}

void CompassCalibrator::storeSample(const Eigen::Vector3f &s)
{
    if (count >= capacity)
        return;
    const float x = s.x();
    const float y = s.y();
    const float z = s.z();
    S.row(count) << x, y, z;
    D.row(count) << x * x, y * y, z * z, 2 * x * y, 2 * x * z, 2 * y * z, 2 * x, 2 * y, 2 * z;
    ++count;
}

int CompassCalibrator::sampleCount() const
{
    return count;
}

Eigen::Vector3f CompassCalibrator::sample(int index) const
{
    return S.row(index).transpose();
}

bool CompassCalibrator::fit()
{
    fitSize = count;
    const Eigen::MatrixXf d = D.topRows(fitSize);

    // Least squares for q1 x² + q2 y² + q3 z² + 2 q4 xy + 2 q5 xz + 2 q6 yz + 2 q7 x + 2 q8 y
    // + 2 q9 z = 1 over all samples.
    const Eigen::MatrixXf dtd = d.transpose() * d;
    const Eigen::VectorXf dt1 = d.transpose() * Eigen::VectorXf::Ones(fitSize);
    const Eigen::VectorXf q = Eigen::PartialPivLU<Eigen::MatrixXf>(dtd).solve(dt1);

    Eigen::Matrix4f A;
    A << q(0), q(3), q(4), q(6),
         q(3), q(1), q(5), q(7),
         q(4), q(5), q(2), q(8),
         q(6), q(7), q(8), -1;

    // The centre, then the quadric moved there: its upper-left block over -R44 is the shape.
    const Eigen::Matrix3f A3 = A.topLeftCorner<3, 3>();
    c = -Eigen::PartialPivLU<Eigen::Matrix3f>(A3).solve(Eigen::Vector3f(q(6), q(7), q(8)));
    Eigen::Matrix4f T = Eigen::Matrix4f::Identity();
    T(3, 0) = c(0);
    T(3, 1) = c(1);
    T(3, 2) = c(2);
    const Eigen::Matrix4f R = T * A * T.transpose();
    const Eigen::Matrix3f M = R.topLeftCorner<3, 3>() / -R(3, 3);

    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3f> solver(M, Eigen::ComputeEigenvectors);
    if (solver.info() != Eigen::Success)
        return false;

    // W = V sqrt(Λ) V⁻¹, the symmetric square root of M; a negative eigenvalue gives NaN.
    const Eigen::Matrix3f V = solver.eigenvectors();
    const Eigen::Vector3f lambda = solver.eigenvalues();
    Eigen::Matrix3f rootLambda = Eigen::Matrix3f::Zero();
    for (int i = 0; i < 3; ++i)
        rootLambda(i, i) = std::sqrt(lambda(i));

    const float det = V(0, 0) * (V(1, 1) * V(2, 2) - V(2, 1) * V(1, 2))
                      - V(0, 1) * (V(1, 0) * V(2, 2) - V(1, 2) * V(2, 0))
                      + V(0, 2) * (V(1, 0) * V(2, 1) - V(1, 1) * V(2, 0));
    Eigen::Matrix3f Vinv;
    Vinv(0, 0) = (V(1, 1) * V(2, 2) - V(2, 1) * V(1, 2)) / det;
    Vinv(0, 1) = (V(0, 2) * V(2, 1) - V(0, 1) * V(2, 2)) / det;
    Vinv(0, 2) = (V(0, 1) * V(1, 2) - V(0, 2) * V(1, 1)) / det;
    Vinv(1, 0) = (V(1, 2) * V(2, 0) - V(1, 0) * V(2, 2)) / det;
    Vinv(1, 1) = (V(0, 0) * V(2, 2) - V(0, 2) * V(2, 0)) / det;
    Vinv(1, 2) = (V(1, 0) * V(0, 2) - V(0, 0) * V(1, 2)) / det;
    Vinv(2, 0) = (V(1, 0) * V(2, 1) - V(2, 0) * V(1, 1)) / det;
    Vinv(2, 1) = (V(2, 0) * V(0, 1) - V(0, 0) * V(2, 1)) / det;
    Vinv(2, 2) = (V(0, 0) * V(1, 1) - V(1, 0) * V(0, 1)) / det;

    W = V * rootLambda * Vinv;
    if (W.hasNaN() || c.hasNaN())
        return false;
    solutionW = W;
    solutionC = c;
    return true;
}

CompassCalibrator::Results CompassCalibrator::computeResults() const
{
    float magnitudeSum = 0;
    double deviationSum = 0;
    int outside = 0;
    for (int i = 0; i < fitSize; ++i) {
        const Eigen::Vector3f s = S.row(i).transpose();
        const float m = (W * (s - c)).norm();
        magnitudeSum += m;
        deviationSum += std::fabs(m - 1.0);
        // A NaN magnitude fails both comparisons and so counts as inside.
        if (m >= 1.1f || m <= 0.9f)
            ++outside;
    }
    Results results;
    if (fitSize == 0)
        return results;
    results.meanMagnitude = magnitudeSum / float(fitSize);
    results.meanDeviation = float(deviationSum / fitSize);
    results.distortion = float(outside) / float(fitSize);
    return results;
}

QByteArray CompassCalibrator::solutionText() const
{
    const float values[] = {solutionC(0),    solutionC(1),    solutionC(2),
                            solutionW(0, 0), solutionW(0, 1), solutionW(0, 2),
                            solutionW(1, 1), solutionW(1, 2), solutionW(2, 2)};
    QByteArray text;
    text.reserve(solutionTextLength);
    for (const float value : values)
        text += encodeValue(value);
    return text;
}

QByteArray CompassCalibrator::encodeValue(float f)
{
    const double log2 = std::log(std::fabs(double(f))) / 0.6931471805599453;
    if (f == 0 || !std::isfinite(log2))
        return QByteArray(8, '0');
    const int e = int(std::floor(float(log2)));

    // The mantissa bit by bit, from the leading one down to 2^-23; the leading one's place
    // carries the sign.
    float m = float(double(std::fabs(f)) / std::pow(2.0, e));
    quint32 mantissa = 0;
    for (int i = 0; i < 24; ++i) {
        const float step = std::ldexp(1.0f, -i);
        mantissa <<= 1;
        if (step <= m) {
            mantissa |= 1;
            m -= step;
        }
    }
    mantissa = (mantissa & 0x7FFFFF) | (f < 0 ? 0x800000u : 0u);
    const quint32 word = (quint32(e + 127) & 0xFF) << 24 | mantissa;
    return QByteArray::number(word, 16).toUpper().rightJustified(8, '0');
}
