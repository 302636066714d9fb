// params.h -- the fixed numbers of the simulated world.
//
// Field geometry, object sizes and the parameters of the default player type, as a
// version-6 client meets them on the real server. Lengths in metres, angles in degrees
// unless the name says otherwise, times in simulation cycles.
#pragma once

namespace vorn::pitch {

// Field
constexpr double PitchHalfLength = 52.5;   // goal lines at x = +-52.5
constexpr double PitchHalfWidth = 34.0;    // touch lines at y = +-34 (top is -34)
constexpr double PitchMargin = 5.0;        // players are kept within this of the lines
constexpr double GoalHalfWidth = 7.01;     // goal mouth y in [-7.01, 7.01]
constexpr double GoalPostRadius = 0.06;    // posts centred at (+-52.44, +-7.07)
constexpr double GoalPostX = 52.44;        //
constexpr double GoalPostY = 7.07;         //
constexpr double PenaltyAreaLength = 16.5; // from the goal line inwards
constexpr double PenaltyAreaHalfWidth = 20.16;
constexpr double GoalAreaLength = 5.5;
constexpr double GoalAreaHalfWidth = 9.16;
constexpr double CentreCircleRadius = 9.15; // also the keep-away distance at set plays
constexpr double VisibleDiagonal = 125.1;   // farthest anything can be seen

// Objects
constexpr double BallSize = 0.085;
constexpr double BallDecay = 0.94;
constexpr double BallRand = 0.05;
constexpr double BallSpeedMax = 3.0;
constexpr double BallAccelMax = 2.7;
constexpr double PlayerSize = 0.3;
constexpr double PlayerDecay = 0.4;
constexpr double PlayerRand = 0.1;
constexpr double PlayerSpeedMax = 1.05;
constexpr double PlayerAccelMax = 1.0;
constexpr double KickableMargin = 0.7;
constexpr double KickableArea = PlayerSize + BallSize + KickableMargin; // 1.085
constexpr double KickPowerRate = 0.027;
constexpr double KickRand = 0.1;
constexpr double DashPowerRate = 0.006;
constexpr double InertiaMoment = 5.0;
constexpr double NeckMax = 90; // the neck turns within +-NeckMax degrees of the body
constexpr double CatchAreaLength = 1.2;
constexpr double CatchAreaWidth = 1.0;
constexpr int CatchBanCycles = 5;
constexpr int GoalieMaxMoves = 2;

// Stamina
constexpr double StaminaMax = 8000;
constexpr double StaminaIncMax = 45;
constexpr double ExtraStamina = 50;
constexpr double StaminaCapacity = 130600;
constexpr double EffortMin = 0.6;
constexpr double EffortDecThr = 0.3;
constexpr double EffortDec = 0.005;
constexpr double EffortIncThr = 0.6;
constexpr double EffortInc = 0.01;
constexpr double RecoveryMin = 0.5;
constexpr double RecoveryDecThr = 0.3;
constexpr double RecoveryDec = 0.002;

// Senses
constexpr double FeelDistance = 3.0;    // out-of-view objects closer than this are felt
constexpr double AudioCutDistance = 50; // say reaches this far
constexpr int SayMaxLength = 10;        // longer messages are dropped
constexpr double LandmarkQuantStep = 0.01;
constexpr double MovableQuantStep = 0.1;

// Referee
constexpr int SetPlayTimeout = 100;       // cycles before an untaken set play becomes a drop ball
constexpr int GoalPause = 50;             // frozen steps after a goal
constexpr int FaultPause = 30;            // frozen steps after an offence
constexpr int ClearingSteps = 5;          // the last steps of that pause clear the offenders
constexpr double ClearanceEps = 1e-5;     // added to a clearing distance beyond the player size
constexpr double Tiny = 1e-10;            // the gap left between objects pushed apart
constexpr double OffsideActiveArea = 2.5; // a marked player's kick within this is offside
constexpr int HalfTimePause = 100;        // steps between half time and the second kick-off
constexpr int ExitAfterTimeOver = 10;     // steps of time_over before pitch exits
constexpr int StuckCycles = 100;          // ball within StuckArea this long: drop ball
constexpr double StuckArea = 3.0;

} // namespace vorn::pitch
