"""The statistics of a series of matches: means with Student's t 95% intervals, the
difference of two series' means with Welch's interval or, for two series of the same seeds,
the mean of the differences of the pairs with Student's t interval; the verdict a difference
gives, and the number of matches a difference needs to be shown.

A verdict needs a spread it can estimate: with fewer than MIN_SAMPLE pairs (or matches on
either side), or no spread at all, it is "cannot tell", with the reason; the interval is
still given, for what it is.

Standard library only, so the t quantile is computed here: the t distribution's CDF comes
from the regularized incomplete beta function (a continued fraction, evaluated by the
modified Lentz method), and the quantile is found by bisection on that CDF. Degrees of
freedom need not be whole numbers, as Welch's approximation gives them. Debian's
python3-scipy (scipy.stats.t.ppf) would replace these sixty lines, and it was weighed: on
this Debian 12 machine it brings 22 packages, 97 MB installed (apt-get install -s python3-scipy;
numpy, pythran, pillow, boost headers...), which every user of scripts/series_summary.py,
series.sh and the bench tools would have to install (scripts/install-deps.sh installs on
demand) for one function. The lines here stay: they are checked against published t tables
(tests/series/stats_test.py), to 1e-6 at the 97.5% quantile and to a table's three
decimals elsewhere, more than a 95% verdict needs.
"""

import math

CONFIDENCE = 0.95
# Pairs, or matches on either side, below which a spread is too poorly known for a verdict.
MIN_SAMPLE = 5
CANNOT_TELL = "cannot tell"
_EPS = 1e-15
_TINY = 1e-300


def _betacf(a, b, x):
    """The continued fraction of the incomplete beta function, for x < (a + 1) / (a + b + 2),
    where it converges quickly."""
    qab, qap, qam = a + b, a + 1.0, a - 1.0
    c, d = 1.0, 1.0 - qab * x / qap
    d = 1.0 / (d if abs(d) > _TINY else _TINY)
    h = d
    for m in range(1, 1000):
        m2 = 2 * m
        for num in (m * (b - m) * x / ((qam + m2) * (a + m2)),
                    -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2))):
            d = 1.0 + num * d
            d = 1.0 / (d if abs(d) > _TINY else _TINY)
            c = 1.0 + num / c
            c = c if abs(c) > _TINY else _TINY
            h *= d * c
        if abs(d * c - 1.0) < _EPS:
            break
    return h


def betainc(a, b, x):
    """The regularized incomplete beta function I_x(a, b), for a, b > 0 and 0 <= x <= 1."""
    if x <= 0.0:
        return 0.0
    if x >= 1.0:
        return 1.0
    ln = math.lgamma(a + b) - math.lgamma(a) - math.lgamma(b) + a * math.log(x) + \
        b * math.log1p(-x)
    if x < (a + 1.0) / (a + b + 2.0):
        return math.exp(ln) * _betacf(a, b, x) / a
    return 1.0 - math.exp(ln) * _betacf(b, a, 1.0 - x) / b


def t_cdf(t, df):
    """P(T <= t) for Student's t with df degrees of freedom (df > 0)."""
    tail = 0.5 * betainc(df / 2.0, 0.5, df / (df + t * t))
    return 1.0 - tail if t > 0 else tail


def t_quantile(p, df):
    """The t with P(T <= t) = p, for 0 < p < 1, by bisection on t_cdf; below 0.5 from the
    distribution's symmetry, t(p) = -t(1 - p)."""
    if not 0.0 < p < 1.0:
        raise ValueError(f"a quantile needs 0 < p < 1, not {p}")
    if p < 0.5:
        return -t_quantile(1.0 - p, df)
    if p == 0.5:
        return 0.0
    lo, hi = 0.0, 1.0
    while t_cdf(hi, df) < p:
        lo, hi = hi, 2.0 * hi
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        if t_cdf(mid, df) < p:
            lo = mid
        else:
            hi = mid
        if hi - lo < 1e-12 * max(1.0, hi):
            break
    return 0.5 * (lo + hi)


def _variance(values, mean):
    return sum((v - mean) ** 2 for v in values) / (len(values) - 1)


def mean_ci(values, low=None, high=None):
    """{"n", "mean", "ci95": [low, high]} of a sample; the interval is None below two values,
    and a sample without spread has an interval of width 0. low and high, when given, are
    what the figure can be at least and at most: the interval is cut there (a count's cannot
    reach below 0, a share's not above 100)."""
    n = len(values)
    if n == 0:
        return {"n": 0, "mean": None, "ci95": None}
    mean = sum(values) / n
    if n < 2:
        return {"n": n, "mean": mean, "ci95": None}
    half = t_quantile(0.5 + CONFIDENCE / 2, n - 1) * math.sqrt(_variance(values, mean) / n)
    ci = [mean - half, mean + half]
    if low is not None:
        ci = [max(low, x) for x in ci]
    if high is not None:
        ci = [min(high, x) for x in ci]
    return {"n": n, "mean": mean, "ci95": ci}


def excludes_zero(ci):
    """Whether an interval [low, high] lies wholly on one side of zero (a bound on zero does
    not exclude it)."""
    return ci[0] > 0 or ci[1] < 0


def difference(values, baseline):
    """The difference of the means (values minus baseline) with Welch's 95% interval, and
    whether that interval excludes zero. None when either sample has fewer than two values;
    when neither has any spread the interval is the difference itself (df None), as the
    interval of a mean without spread is the mean. "cannot_tell" says why no verdict can be
    given (fewer than MIN_SAMPLE matches on a side, no spread), else is None; then
    "excludes_zero" is False."""
    na, nb = len(values), len(baseline)
    if na < 2 or nb < 2:
        return None
    ma, mb = sum(values) / na, sum(baseline) / nb
    qa, qb = _variance(values, ma) / na, _variance(baseline, mb) / nb
    d = ma - mb
    why = None
    if min(na, nb) < MIN_SAMPLE:
        why = f"fewer than {MIN_SAMPLE} matches on a side: {na} and {nb}"
    elif qa + qb == 0:
        why = "no spread: every match of both came out alike"
    if qa + qb == 0:
        return {"mean": d, "ci95": [d, d], "df": None, "excludes_zero": False,
                "cannot_tell": why}
    df = (qa + qb) ** 2 / (qa * qa / (na - 1) + qb * qb / (nb - 1))
    half = t_quantile(0.5 + CONFIDENCE / 2, df) * math.sqrt(qa + qb)
    ci = [d - half, d + half]
    return {"mean": d, "ci95": ci, "df": df, "excludes_zero": not why and excludes_zero(ci),
            "cannot_tell": why}


def paired(values, baseline, unit="pairs"):
    """The mean of the pairs' differences (values[i] - baseline[i]) with Student's t 95%
    interval, as difference() gives it (df n - 1), with the differences' standard deviation
    as "sd". None below two pairs; pairs that all differ alike give an interval of width 0.
    "cannot_tell" as in difference(): fewer than MIN_SAMPLE pairs (unit names them in its
    words), or all differing alike."""
    if len(values) != len(baseline):
        raise ValueError("paired samples must be of the same length")
    n = len(values)
    if n < 2:
        return None
    diffs = [a - b for a, b in zip(values, baseline)]
    d = sum(diffs) / n
    sd = math.sqrt(_variance(diffs, d))
    half = t_quantile(0.5 + CONFIDENCE / 2, n - 1) * sd / math.sqrt(n)
    why = None
    if n < MIN_SAMPLE:
        why = f"fewer than {MIN_SAMPLE} {unit}: {n}"
    elif sd == 0:
        why = f"no spread: all {n} {unit} differ alike"
    ci = [d - half, d + half]
    return {"mean": d, "ci95": ci, "df": n - 1, "sd": sd,
            "excludes_zero": not why and excludes_zero(ci), "cannot_tell": why}


def pooled_sd(values, baseline):
    """The standard deviation of two samples pooled (each about its own mean); None when
    they have fewer than three values together."""
    if len(values) + len(baseline) < 3 or min(len(values), len(baseline)) < 1:
        return None
    squares = sum((v - sum(s) / len(s)) ** 2 for s in (values, baseline) for v in s)
    return math.sqrt(squares / (len(values) + len(baseline) - 2))


def why_not(diff):
    """Why a difference() or paired() result gives no verdict, in words; None when it
    gives one."""
    if diff is None:
        return "fewer than two matches on a side: no interval"
    return diff.get("cannot_tell")


def verdict(diff):
    """"better", "worse", "no difference shown" or "cannot tell" (why_not() says why) for a
    difference() or paired() result."""
    if why_not(diff):
        return CANNOT_TELL
    if not diff["excludes_zero"]:
        return "no difference shown"
    return "better" if diff["ci95"][0] > 0 else "worse"


POWER = 0.80


def matches_needed(sd, delta, pairs, power=POWER, most=100000):
    """How many matches show a true difference of delta (in goals per match) with the 95%
    interval excluding zero in a share power of the series, for a spread sd: with pairs the
    number of pairs (sd that of the pairs' differences), else the number of matches in each
    of the two series (sd that of a single match). From the t quantiles:
    n >= ((t(0.975, df) + t(power, df)) * sd / delta)^2, times 2 for two unpaired series,
    with df n - 1 or 2n - 2; the smallest whole n, at least 2. most when even that many
    would not do, as for a difference of 0, which no number of matches shows; a negative
    delta needs as many as its size."""
    if sd is None:
        return None
    if delta == 0:
        return most

    def enough(n):
        df = n - 1 if pairs else 2 * n - 2
        z = t_quantile(0.5 + CONFIDENCE / 2, df) + t_quantile(power, df)
        return n >= (1 if pairs else 2) * (z * sd / abs(delta)) ** 2

    if not enough(most):
        return most
    lo, hi = 1, most  # enough(hi); lo is not, or below 2
    while hi - lo > 1:
        mid = (lo + hi) // 2
        lo, hi = (lo, mid) if enough(mid) else (mid, hi)
    return max(hi, 2)
