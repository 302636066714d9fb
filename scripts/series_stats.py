"""The statistics of a series of matches: means with Student's t 95% intervals, and the
difference of two series' means with Welch's interval.

Standard library only, so the t quantile is computed here: the t distribution's CDF comes
from the regularized incomplete beta function (a continued fraction, evaluated by the
modified Lentz method), and the quantile is found by bisection on that CDF. Degrees of
freedom need not be whole numbers, as Welch's approximation gives them.
"""

import math

CONFIDENCE = 0.95
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
    """The t with P(T <= t) = p, for 0.5 <= p < 1, by bisection on t_cdf."""
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


def mean_ci(values):
    """{"n", "mean", "ci95": [low, high]} of a sample; the interval is None below two values,
    and a sample without spread has an interval of width 0."""
    n = len(values)
    if n == 0:
        return {"n": 0, "mean": None, "ci95": None}
    mean = sum(values) / n
    if n < 2:
        return {"n": n, "mean": mean, "ci95": None}
    half = t_quantile(0.5 + CONFIDENCE / 2, n - 1) * math.sqrt(_variance(values, mean) / n)
    return {"n": n, "mean": mean, "ci95": [mean - half, mean + half]}


def difference(values, baseline):
    """The difference of the means (values minus baseline) with Welch's 95% interval, and
    whether that interval excludes zero. None when either sample has fewer than two values;
    when neither has any spread the interval is the difference itself (df None), as the
    interval of a mean without spread is the mean."""
    na, nb = len(values), len(baseline)
    if na < 2 or nb < 2:
        return None
    ma, mb = sum(values) / na, sum(baseline) / nb
    qa, qb = _variance(values, ma) / na, _variance(baseline, mb) / nb
    d = ma - mb
    if qa + qb == 0:
        return {"mean": d, "ci95": [d, d], "df": None, "excludes_zero": d != 0}
    df = (qa + qb) ** 2 / (qa * qa / (na - 1) + qb * qb / (nb - 1))
    half = t_quantile(0.5 + CONFIDENCE / 2, df) * math.sqrt(qa + qb)
    return {"mean": d, "ci95": [d - half, d + half], "df": df,
            "excludes_zero": d - half > 0 or d + half < 0}
