#pragma once

#include <cstdint>

// The servo motor behind the virtual drive's recorder: a current loop (a first-order lag set by
// its gain), the velocity loop (PI with a feedback filter and a torque reference filter), the
// position loop (P with velocity feed-forward), an inertia with viscous and dry friction and a
// torque limit. Stepped at the recorder's base period of 62.5 us, so that what the recorder
// shows follows the gains of the parameter pages.
class CMotorModel
{
public:
    static constexpr double kStep = 62.5e-6; // seconds

    // The page values, raw as the drive holds them.
    struct Gains
    {
        uint32_t currentKp = 250;               // 0x221001
        uint32_t velocityKp = 120;              // 0x222001
        uint32_t velocityTi = 200;              // 0x222002, 0.1 ms
        uint32_t velocityFilterHz = 1000;       // 0x222003
        uint32_t torqueFilter = 20;             // 0x222004, 0.01 ms
        uint32_t positionKp = 400;              // 0x223001, 0.1 1/s
        uint32_t velocityFeedForward = 800;     // 0x223002, 0.1 %
        uint32_t maxTorque = 3000;              // 0x607200, permil
        uint32_t maxProfileVelocity = 13107200; // 0x607F00, inc/s
    };

    // What the loops follow: the target velocity, or (position modes) the target position.
    struct Command
    {
        bool enabled = true; // controlword: operation enabled
        bool positionMode = false;
        double targetVelocity = 0; // inc/s
        double targetPosition = 0; // inc
    };

    virtual ~CMotorModel() = default;

    // At rest where the command leaves it: at the target velocity (or the position) with the
    // integrator holding friction.
    void Settle(const Gains& gains, const Command& command, double position);
    void Step(const Gains& gains, const Command& command);

    // Outputs in the drive's units.
    double velocity() const { return m_velocity; }             // inc/s, 0x606C
    double position() const { return m_position; }             // inc, 0x6064
    double velocityDemand() const { return m_velocityDemand; } // inc/s, 0x606B
    double positionDemand() const { return m_positionDemand; } // inc, 0x6062
    double torqueDemand() const { return m_torqueDemand; }     // permil, 0x6074
    double torque() const { return m_torque; }                 // permil, 0x6077 and 0x6078
    double velocityError() const { return m_velocityDemand - m_filteredVelocity; }

private:
    double Friction(double velocity) const;

    double m_velocity = 0;
    double m_position = 0;
    double m_filteredVelocity = 0;
    double m_integral = 0; // permil
    double m_torqueReference = 0;
    double m_torqueDemand = 0;
    double m_torque = 0;
    double m_velocityDemand = 0;
    double m_positionDemand = 0;
};
