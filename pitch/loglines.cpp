// loglines.cpp -- the lines of the game log and of a monitor's stream, formatted in one place.
//
// Parameters pitch has no use for are written with the values a real server starts with,
// so that tools reading the header find every name they know; those pitch plays by are
// replaced with its own values as the header is written. Numbers take the short form of
// the real server's logs: positions and velocities rounded to 0.0001, angles to 0.001,
// the rest with six significant digits.
//
// A show line carries, per player, the state bits pitch knows (in the match, goalie,
// kicked this step, missed the ball with that kick, tried a catch this step, missed the
// ball with it or was refused), no pointing and no attention, a focus point of (0, 0), the
// view, the stamina model, and the commands carried out so far as the player's own
// counters have them: a kick counts when it moves the ball, or when it is a set-play
// taker's faulting kick, as in sense_body; a catch counts when it reaches the ball. A slot
// without a player is listed with state 0. What happened "this step" is measured against
// the counters shownext() kept at the end of the step before, so every show line of a
// step says the same whoever writes it.

#include "pitch/loglines.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "pitch/geom.h"
#include "pitch/net.h"
#include "pitch/params.h"
#include "pitch/referee.h"
#include "pitch/types.h"
#include "pitch/world.h"

namespace vorn::pitch {

// The header's templates: every item in the order and with the value of a real server's
// log; ourvalue() says which of them pitch replaces.
static const char ServerParams[] =
    "(audio_cut_dist 50)(auto_mode 1)(back_dash_rate 0.7)(back_passes 1)(ball_accel_max 2.7)"
    "(ball_decay 0.94)(ball_rand 0.05)(ball_size 0.085)(ball_speed_max 3)(ball_stuck_area 3)"
    "(ball_weight 0.2)(catch_ban_cycle 5)(catch_probability 1)(catchable_area_l 1.2)"
    "(catchable_area_w 1)(ckick_margin 1)(clang_advice_win 1)(clang_define_win 1)"
    "(clang_del_win 1)(clang_info_win 1)(clang_mess_delay 50)(clang_mess_per_cycle 1)"
    "(clang_meta_win 1)(clang_rule_win 1)(clang_win_size 300)(coach 0)(coach_msg_file \"\")"
    "(coach_port 6101)(coach_w_referee 0)(connect_wait 300)(control_radius 2)"
    "(dash_angle_step 1)(dash_power_rate 0.006)(dist_noise_rate 0.0125)(drop_ball_time 100)"
    "(effort_dec 0.005)(effort_dec_thr 0.3)(effort_inc 0.01)(effort_inc_thr 0.6)"
    "(effort_init 1)(effort_min 0.6)(extra_half_time 100)(extra_stamina 50)"
    "(fixed_teamname_l \"\")(fixed_teamname_r \"\")(focus_dist_noise_rate 0.0125)"
    "(forbid_kick_off_offside 1)(foul_cycles 5)(foul_detect_probability 0.5)"
    "(foul_exponent 10)(free_kick_faults 1)(freeform_send_period 20)"
    "(freeform_wait_period 600)(fullstate_l 0)(fullstate_r 0)(game_log_compression 0)"
    "(game_log_dated 1)(game_log_dir \"./\")(game_log_fixed 0)"
    "(game_log_fixed_name \"rcssserver\")(game_log_version 6)(game_logging 1)"
    "(game_over_wait 20)(goal_width 14.02)(goalie_max_moves 2)(golden_goal 0)(half_time 300)"
    "(hear_decay 1)(hear_inc 1)(hear_max 1)(illegal_defense_dist_x 16.5)"
    "(illegal_defense_duration 20)(illegal_defense_number 0)(illegal_defense_width 40.32)"
    "(inertia_moment 5)(keepaway 0)(keepaway_length 20)(keepaway_log_dated 1)"
    "(keepaway_log_dir \"./\")(keepaway_log_fixed 0)(keepaway_log_fixed_name \"rcssserver\")"
    "(keepaway_logging 1)(keepaway_start -1)(keepaway_width 20)(kick_off_wait 50)"
    "(kick_power_rate 0.027)(kick_rand 0.1)(kick_rand_factor_l 1)(kick_rand_factor_r 1)"
    "(kickable_margin 0.7)(land_dist_noise_rate 0.00125)(land_focus_dist_noise_rate 0.00125)"
    "(landmark_file \"~/.rcssserver-landmark.xml\")(log_date_format \"%Y%m%d%H%M%S-\")"
    "(log_times 0)(max_back_tackle_power 0)(max_catch_angle 90)(max_dash_angle 180)"
    "(max_dash_power 100)(max_goal_kicks 3)(max_monitors -1)(max_tackle_power 100)"
    "(maxmoment 180)(maxneckang 90)(maxneckmoment 180)(maxpower 100)(min_catch_angle -90)"
    "(min_dash_angle -180)(min_dash_power 0)(minmoment -180)(minneckang -90)"
    "(minneckmoment -180)(minpower -100)(nr_extra_halfs 0)(nr_normal_halfs 2)"
    "(offside_active_area_size 2.5)(offside_kick_margin 9.15)(olcoach_port 6102)"
    "(old_coach_hear 0)(pen_allow_mult_kicks 1)(pen_before_setup_wait 10)"
    "(pen_coach_moves_players 1)(pen_dist_x 42.5)(pen_max_extra_kicks 5)"
    "(pen_max_goalie_dist_x 14)(pen_nr_kicks 5)(pen_random_winner 0)(pen_ready_wait 10)"
    "(pen_setup_wait 70)(pen_taken_wait 150)(penalty_shoot_outs 0)(player_accel_max 1)"
    "(player_decay 0.4)(player_rand 0.1)(player_size 0.3)(player_speed_max 1.05)"
    "(player_speed_max_min 0.75)(player_weight 60)(point_to_ban 5)(point_to_duration 20)"
    "(port 6100)(prand_factor_l 1)(prand_factor_r 1)(profile 0)(proper_goal_kicks 0)"
    "(quantize_step 0.1)(quantize_step_l 0.01)(record_messages 0)(recover_dec 0.002)"
    "(recover_dec_thr 0.3)(recover_init 1)(recover_min 0.5)(recv_step 10)"
    "(red_card_probability 0)(say_coach_cnt_max 128)(say_coach_msg_size 128)(say_msg_size 10)"
    "(send_comms 0)(send_step 150)(send_vi_step 100)(sense_body_step 100)(side_dash_rate 0.4)"
    "(simulator_step 100)(slow_down_factor 1)(slowness_on_top_for_left_team 1)"
    "(slowness_on_top_for_right_team 1)(stamina_capacity 130600)(stamina_inc_max 45)"
    "(stamina_max 8000)(start_goal_l 0)(start_goal_r 0)(stopped_ball_vel 0.01)"
    "(synch_micro_sleep 1)(synch_mode 0)(synch_offset 60)(synch_see_offset 0)"
    "(tackle_back_dist 0)(tackle_cycles 10)(tackle_dist 2)(tackle_exponent 6)"
    "(tackle_power_rate 0.027)(tackle_rand_factor 2)(tackle_width 1.25)"
    "(team_actuator_noise 0)(team_l_start \"\")(team_r_start \"\")(text_log_compression 0)"
    "(text_log_dated 1)(text_log_dir \"./\")(text_log_fixed 0)"
    "(text_log_fixed_name \"rcssserver\")(text_logging 1)(use_offside 1)(verbose 0)"
    "(visible_angle 90)(visible_distance 3)(wind_ang 0)(wind_dir 0)(wind_force 0)"
    "(wind_none 0)(wind_rand 0)(wind_random 0)";

static const char PlayerParams[] =
    "(allow_mult_default_type 0)(catchable_area_l_stretch_max 1.3)"
    "(catchable_area_l_stretch_min 1)(dash_power_rate_delta_max 0)"
    "(dash_power_rate_delta_min 0)(effort_max_delta_factor -0.004)"
    "(effort_min_delta_factor -0.004)(extra_stamina_delta_max 50)(extra_stamina_delta_min 0)"
    "(foul_detect_probability_delta_factor 0)(inertia_moment_delta_factor 25)"
    "(kick_power_rate_delta_max 0)(kick_power_rate_delta_min 0)(kick_rand_delta_factor 1)"
    "(kickable_margin_delta_max 0.1)(kickable_margin_delta_min -0.1)"
    "(new_dash_power_rate_delta_max 0.0008)(new_dash_power_rate_delta_min -0.0012)"
    "(new_stamina_inc_max_delta_factor -6000)(player_decay_delta_max 0.1)"
    "(player_decay_delta_min -0.1)(player_size_delta_factor -100)"
    "(player_speed_max_delta_max 0)(player_speed_max_delta_min 0)(player_types 18)(pt_max 1)"
    "(random_seed 1796804949)(stamina_inc_max_delta_factor 0)(subs_max 3)";

static const char TypeTail[] =
    "(unum_far_length 20)(unum_too_far_length 40)(team_far_length 125.096)"
    "(team_too_far_length 125.096)(player_max_observation_length 125.096)"
    "(ball_vel_far_length 20)(ball_vel_too_far_length 40)"
    "(ball_max_observation_length 125.096)(flag_chg_far_length 20)"
    "(flag_chg_too_far_length 40)(flag_max_observation_length 125.096)"
    "(dist_noise_rate 0.0125)(focus_dist_noise_rate 0.0125)(land_dist_noise_rate 0.00125)"
    "(land_focus_dist_noise_rate 0.00125)";

constexpr double PositionStep = 0.0001; // positions and velocities in the show lines
constexpr double AngleStep = 0.001;     // body and neck angles

// ORDER VIEWWIDTH: the view widths in degrees.
static const int ViewDegrees[] = {45, 90, 180};

// The play modes as monitors number them, in their order; 0 is no mode.
static const char *const ModeNumbers[] = {
    "",
    "before_kick_off",
    "time_over",
    "play_on",
    "kick_off_l",
    "kick_off_r",
    "kick_in_l",
    "kick_in_r",
    "free_kick_l",
    "free_kick_r",
    "corner_kick_l",
    "corner_kick_r",
    "goal_kick_l",
    "goal_kick_r",
    "goal_l",
    "goal_r",
    "drop_ball",
    "offside_l",
    "offside_r",
    "penalty_kick_l",
    "penalty_kick_r",
    "first_half_over",
    "pause",
    "human_judge",
    "foul_charge_l",
    "foul_charge_r",
    "foul_push_l",
    "foul_push_r",
    "foul_multiple_attack_l",
    "foul_multiple_attack_r",
    "foul_ballout_l",
    "foul_ballout_r",
    "back_pass_l",
    "back_pass_r",
    "free_kick_fault_l",
    "free_kick_fault_r",
    "catch_fault_l",
    "catch_fault_r",
    "indirect_free_kick_l",
    "indirect_free_kick_r",
};

// Globals
static int LastKicks[MaxPlayers];      // kicks counted at the end of the step before
static int LastTries[MaxPlayers];      // kick commands taken by then, hit or miss
static int LastCatches[MaxPlayers];    // catches that reached the ball by then
static int LastCatchTries[MaxPlayers]; // catch commands taken by then

static bool endswith(const char *s, const char *tail) {
    size_t n = std::strlen(s), m = std::strlen(tail);
    return n >= m && !std::strcmp(s + n - m, tail);
}

bool compressed() {
    return endswith(Opt.gamelog, ".gz");
}

// ourvalue: the value pitch plays by for the server parameter name; false for a parameter
// pitch does not model. Times are in milliseconds, half_time in seconds.
static bool ourvalue(const char *name, double &v) {
    const double step = Opt.stepms, noise = Opt.noise ? 1 : 0;
    const struct {
        const char *name;
        double value;
    } ours[] = {
        {"audio_cut_dist", AudioCutDistance},
        {"back_passes", Opt.backpass ? 1.0 : 0.0},
        {"ball_accel_max", BallAccelMax},
        {"ball_decay", BallDecay},
        {"ball_rand", BallRand * noise},
        {"ball_size", BallSize},
        {"ball_speed_max", BallSpeedMax},
        {"ball_stuck_area", StuckArea},
        {"catch_ban_cycle", CatchBanCycles},
        {"catchable_area_l", CatchAreaLength},
        {"catchable_area_w", CatchAreaWidth},
        {"coach_port", netport() + 1.0}, // the trainer's port, as the real server numbers it
        {"dash_power_rate", DashPowerRate},
        {"drop_ball_time", SetPlayTimeout},
        {"effort_dec", EffortDec},
        {"effort_dec_thr", EffortDecThr},
        {"effort_inc", EffortInc},
        {"effort_inc_thr", EffortIncThr},
        {"effort_min", EffortMin},
        {"extra_stamina", ExtraStamina},
        {"free_kick_faults", Opt.freekickfault ? 1.0 : 0.0},
        {"game_log_compression", compressed() ? LogCompressionLevel : 0.0},
        {"goal_width", 2 * GoalHalfWidth},
        {"goalie_max_moves", GoalieMaxMoves},
        {"half_time", Opt.cycles / 2 * step / 1000},
        {"inertia_moment", InertiaMoment},
        {"kick_power_rate", KickPowerRate},
        {"kick_rand", KickRand * noise},
        {"kickable_margin", KickableMargin},
        {"maxneckang", NeckMax},
        {"minneckang", -NeckMax},
        {"offside_active_area_size", OffsideActiveArea},
        {"olcoach_port", netport() + 2.0}, // and the coaches' (pitch opens neither)
        {"player_accel_max", PlayerAccelMax},
        {"player_decay", PlayerDecay},
        {"player_rand", PlayerRand * noise},
        {"player_size", PlayerSize},
        {"player_speed_max", PlayerSpeedMax},
        {"port", static_cast<double>(netport())},
        {"quantize_step", MovableQuantStep},
        {"quantize_step_l", LandmarkQuantStep},
        {"recover_dec", RecoveryDec},
        {"recover_dec_thr", RecoveryDecThr},
        {"recover_min", RecoveryMin},
        {"say_msg_size", SayMaxLength},
        {"send_step", step * 1.5},
        {"send_vi_step", step},
        {"sense_body_step", step},
        {"simulator_step", step},
        {"stamina_capacity", StaminaCapacity},
        {"stamina_inc_max", StaminaIncMax},
        {"stamina_max", StaminaMax},
        {"use_offside", Opt.offside ? 1.0 : 0.0},
        {"visible_distance", FeelDistance},
    };
    for (const auto &o : ours) {
        if (!std::strcmp(o.name, name)) {
            v = o.value;
            return true;
        }
    }
    return false;
}

static void putitem(Out &o, const char *name, double v) {
    put(o, "(");
    put(o, name);
    put(o, " ");
    putnum(o, v);
    put(o, ")");
}

// putparams: the items of a template, "(name value)" each, the value replaced where
// ourvalue() has one; with random_seed the seed of this match.
static void putparams(Out &o, const char *items) {
    const char *at = items;
    while (const char *open = std::strchr(at, '(')) {
        const char *space = std::strchr(open, ' ');
        const char *close = space ? std::strchr(space, ')') : nullptr;
        if (!close)
            break;
        char name[64];
        size_t len = static_cast<size_t>(space - open - 1);
        std::snprintf(name, sizeof name, "%.*s", static_cast<int>(len), open + 1);
        double v = 0;
        if (!std::strcmp(name, "random_seed")) {
            put(o, "(random_seed ");
            putint(o, static_cast<long>(Opt.seed));
            put(o, ")");
        } else if (ourvalue(name, v)) {
            putitem(o, name, v);
        } else {
            char item[160];
            std::snprintf(item, sizeof item, "%.*s", static_cast<int>(close - open + 1), open);
            put(o, item);
        }
        at = close + 1;
    }
}

void putplayertype(Out &o, int id) {
    const PlayerType &t = Types[id];
    put(o, "(player_type (id ");
    putint(o, id);
    put(o, ")");
    putitem(o, "player_speed_max", PlayerSpeedMax);
    putitem(o, "stamina_inc_max", t.staminainc);
    putitem(o, "player_decay", t.decay);
    putitem(o, "inertia_moment", t.inertia);
    putitem(o, "dash_power_rate", t.dashrate);
    putitem(o, "player_size", PlayerSize);
    putitem(o, "kickable_margin", t.kickmargin);
    putitem(o, "kick_rand", Opt.noise ? t.kickrand : 0);
    putitem(o, "extra_stamina", t.extrastamina);
    putitem(o, "effort_max", t.effortmax);
    putitem(o, "effort_min", t.effortmin);
    putitem(o, "kick_power_rate", KickPowerRate);
    putitem(o, "foul_detect_probability", 0.5);
    putitem(o, "catchable_area_l_stretch", t.catchstretch);
    put(o, TypeTail);
    put(o, ")");
}

static void putround(Out &o, double v, double step) {
    putnum(o, quantise(v, step));
}

// putcounts: the commands of each kind carried out so far, from the player's own counters,
// so the built-in opponent, which sends no commands, is counted as a client is. A kick that
// misses the ball is not counted. Nobody tackles, points, or turns attention or focus.
static void putcounts(Out &o, int slot, int form) {
    const Player &p = Players[slot];
    // ORDER: kick dash turn catch move turn_neck change_view say, as the show line has them.
    const long counts[] = {p.kicks,     p.dashes, p.turns, p.catches,
                           p.movesdone, p.necks,  p.views, p.says};
    put(o, " (c");
    for (long n : counts) {
        put(o, " ");
        putint(o, n);
    }
    put(o, form == ShowMonitor4 ? " 0 0 0)" : " 0 0 0 0)");
}

static void putplayer(Out &o, int slot, int form) {
    const Player &p = Players[slot];
    put(o, slot < TeamSize ? "((l " : "((r ");
    putint(o, slot % TeamSize + 1);
    if (!p.on) {
        put(o, form == ShowMonitor4 ? ") 0 0x0 0 0 0 0 0 0 (v h 90) (s 8000 1 1 130600)"
                                      " (c 0 0 0 0 0 0 0 0 0 0 0))"
                                    : ") 0 0x0 0 0 0 0 0 0 (v h 90) (fp 0 0) (s 8000 1 1 130600)"
                                      " (c 0 0 0 0 0 0 0 0 0 0 0 0))");
        return;
    }
    int state = 0x1;
    if (p.goalie)
        state |= 0x8;
    if (p.kicktries > LastTries[slot])
        state |= p.kicks > LastKicks[slot] ? 0x2 : 0x2 | 0x4; // kicked; missed the ball
    if (p.catchtries > LastCatchTries[slot]) // caught; missed the ball or was refused
        state |= p.catches > LastCatches[slot] ? 0x10 : 0x10 | 0x20;
    char text[24];
    std::snprintf(text, sizeof text, ") %d 0x%x ", p.type, state);
    put(o, text);
    const double values[] = {p.x, p.y, p.vx, p.vy};
    for (double v : values) {
        putround(o, v, PositionStep);
        put(o, " ");
    }
    putround(o, normrad(p.body) * RadToDeg, AngleStep);
    put(o, " ");
    putround(o, normrad(p.neck) * RadToDeg, AngleStep);
    put(o, p.lowquality ? " (v l " : " (v h ");
    putint(o, ViewDegrees[p.viewwidth >= 0 && p.viewwidth <= ViewWide ? p.viewwidth : 1]);
    put(o, form == ShowMonitor4 ? ") (s " : ") (fp 0 0) (s ");
    const double stamina[] = {p.stamina, p.effort, p.recovery, p.capacity};
    for (int i = 0; i < 4; i++) {
        if (i)
            put(o, " ");
        putnum(o, stamina[i]);
    }
    put(o, ")");
    putcounts(o, slot, form);
    put(o, ")");
}

static void putname(Out &o, int i) {
    put(o, " ");
    put(o, TeamName[i][0] ? TeamName[i] : "null");
}

void putserverparam(Out &o) {
    put(o, "(server_param ");
    putparams(o, ServerParams);
    put(o, ")");
}

void putplayerparam(Out &o) {
    put(o, "(player_param ");
    putparams(o, PlayerParams);
    put(o, ")");
}

int modenumber() {
    char mode[40];
    modeword(mode, sizeof mode, Mode, ModeSide);
    for (size_t i = 1; i < sizeof ModeNumbers / sizeof ModeNumbers[0]; i++)
        if (!std::strcmp(ModeNumbers[i], mode))
            return static_cast<int>(i);
    return 0;
}

void putplaymode(Out &o) {
    char mode[40];
    modeword(mode, sizeof mode, Mode, ModeSide);
    put(o, "(playmode ");
    putint(o, Time);
    put(o, " ");
    put(o, mode);
    put(o, ")");
}

// The two teams' names and scores, as the team line and a monitor's show line give them.
static void putnamesandscore(Out &o) {
    putname(o, 0);
    putname(o, 1);
    for (int s : Score) {
        put(o, " ");
        putint(o, s);
    }
}

void putteam(Out &o) {
    put(o, "(team ");
    putint(o, Time);
    putnamesandscore(o);
    put(o, ")");
}

void putshow(Out &o, int form) {
    put(o, "(show ");
    putint(o, Time);
    if (form != ShowLog) {
        put(o, " (pm ");
        putint(o, modenumber());
        put(o, ") (tm");
        putnamesandscore(o);
        put(o, ")");
    }
    put(o, " ((b) ");
    const double ball[] = {TheBall.x, TheBall.y, TheBall.vx, TheBall.vy};
    for (int i = 0; i < 4; i++) {
        if (i)
            put(o, " ");
        putround(o, ball[i], PositionStep);
    }
    put(o, ")");
    for (int slot = 0; slot < MaxPlayers; slot++) {
        put(o, " ");
        putplayer(o, slot, form);
    }
    put(o, ")");
}

// The result of a finished match: the date and the score, each side's name with its goals.
void putresult(Out &o) {
    char date[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y%m%d%H%M", &local);
    char text[128];
    std::snprintf(text, sizeof text, "(msg %d 1 \"(result %s %s_%d-vs-%s_%d)\")", Time, date,
                  TeamName[0][0] ? TeamName[0] : "null", Score[0],
                  TeamName[1][0] ? TeamName[1] : "null", Score[1]);
    put(o, text);
}

void shownext() {
    for (int slot = 0; slot < MaxPlayers; slot++) {
        LastKicks[slot] = Players[slot].kicks;
        LastTries[slot] = Players[slot].kicktries;
        LastCatches[slot] = Players[slot].catches;
        LastCatchTries[slot] = Players[slot].catchtries;
    }
}

} // namespace vorn::pitch
