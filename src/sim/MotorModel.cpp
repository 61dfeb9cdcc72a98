#include "MotorModel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCountsPerRev = 131072.0;
constexpr double kRadPerCount = 2.0 * kPi / kCountsPerRev;
constexpr double kInertia = 1.0e-4;  // kg m^2, motor and load
constexpr double kRatedTorque = 1.0; // Nm for 1000 permil
constexpr double kViscous = 2.0e-4;  // Nm per rad/s
constexpr double kDry = 0.02;        // Nm
constexpr double kDryBand = 2.0;     // rad/s over which dry friction builds up
// Velocity loop gain: raw Kp 120 is 0.0096 Nm per rad/s, damping about 0.7 with Ti 20 ms.
constexpr double kVelocityKpScale = 8.0e-5;
// The current loop closes in 0.25 ms at Kp 250; a higher gain closes it faster.
constexpr double kCurrentLagAt250 = 0.25e-3;

double Lag(double current, double target, double timeConstant)
{
    if (timeConstant <= CMotorModel::kStep)
        return target;
    return current + (target - current) * (CMotorModel::kStep / timeConstant);
}

} // namespace

double CMotorModel::Friction(double velocity) const
{
    const double omega = velocity * kRadPerCount;
    return kViscous * omega + kDry * std::tanh(omega / kDryBand);
}

void CMotorModel::Settle(const Gains& gains, const Command& command, double position)
{
    m_position = position;
    m_positionDemand = command.positionMode ? command.targetPosition : position;
    m_velocity = command.enabled && !command.positionMode ? command.targetVelocity : 0.0;
    if (command.positionMode)
        m_position = command.targetPosition;
    m_filteredVelocity = m_velocity;
    m_velocityDemand = m_velocity;
    const double hold = command.enabled ? Friction(m_velocity) / kRatedTorque * 1000.0 : 0.0;
    const double limit = double(gains.maxTorque);
    m_integral = std::clamp(hold, -limit, limit);
    m_torqueReference = m_integral;
    m_torqueDemand = m_integral;
    m_torque = m_integral;
}

void CMotorModel::Step(const Gains& gains, const Command& command)
{
    const double limit = double(gains.maxTorque);
    if (command.positionMode) {
        // Position loop: P on the position error plus part of the demand's own speed.
        const double kp = gains.positionKp * 0.1;
        const double maxVelocity = double(gains.maxProfileVelocity);
        const double previous = m_positionDemand;
        m_positionDemand = command.targetPosition;
        const double feedForward =
            (m_positionDemand - previous) / kStep * gains.velocityFeedForward * 0.001;
        m_velocityDemand = std::clamp(kp * (m_positionDemand - m_position) + feedForward,
                                      -maxVelocity, maxVelocity);
    } else {
        m_positionDemand = m_position;
        m_velocityDemand = command.targetVelocity;
    }

    // Velocity loop: PI on the filtered speed, in permil of rated torque.
    const double filterTime =
        gains.velocityFilterHz > 0 ? 1.0 / (2.0 * kPi * gains.velocityFilterHz) : 0.0;
    m_filteredVelocity = Lag(m_filteredVelocity, m_velocity, filterTime);
    const double gain =
        gains.velocityKp * kVelocityKpScale / kRatedTorque * 1000.0; // permil per rad/s
    const double error = (m_velocityDemand - m_filteredVelocity) * kRadPerCount;
    const double ti = std::max(gains.velocityTi, 1u) * 1.0e-4;
    if (command.enabled) {
        m_integral = std::clamp(m_integral + gain * error * kStep / ti, -limit, limit);
        m_torqueReference = std::clamp(gain * error + m_integral, -limit, limit);
    } else {
        m_integral = 0;
        m_torqueReference = 0;
    }
    m_torqueDemand = Lag(m_torqueDemand, m_torqueReference, gains.torqueFilter * 1.0e-5);

    // Current loop: the torque follows its demand with a lag its gain sets.
    const double currentLag = kCurrentLagAt250 * 250.0 / std::max(gains.currentKp, 1u);
    m_torque = Lag(m_torque, m_torqueDemand, currentLag);

    // Mechanics.
    const double torque = m_torque * 0.001 * kRatedTorque - Friction(m_velocity);
    const double omega = m_velocity * kRadPerCount + torque / kInertia * kStep;
    m_velocity = omega / kRadPerCount;
    m_position += m_velocity * kStep;
}
