#!/usr/bin/env python3
"""Makes the motor catalogue delivered beside the program: MT_fe.txt (categories), bmindex.txt (model index),
both GBK with CR LF line ends, and MTALL.OBJ (one 16-byte nameplate record per code 1..6935).

Everything comes from the public figures in this directory and the rules below, so every number can be traced:

  ie-efficiency-50hz.csv         minimum efficiency by class IE1..IE4 and pole count (log-P interpolation)
  rated-current-400v-4pole.csv   typical 4-pole power factor by rated power (pole count shifts it)
  no-load-current-fraction.csv   no-load current as a share of rated current by power and pole count

The series, category names and model names are our own; the data are plausible engineering values, not any
maker's table. The generator is run by hand when the catalogue changes; its output is kept in the repository,
so neither the build nor the program needs Python.

    python3 data/generator/make_catalogue.py            # writes data/MT_fe.txt, bmindex.txt, MTALL.OBJ
    python3 data/generator/make_catalogue.py --check    # verifies the files in data/ are exactly what it makes
"""

import argparse
import csv
import math
import os
import random
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SQRT3 = math.sqrt(3.0)

MAX_CODE = 6935
MAX_CATEGORIES = 178
MAX_MODELS_PER_CATEGORY = 6936
RECORD_BYTES = 16

# The program derives the rated voltage from the code alone, so each band must hold motors of that voltage.
BANDS = [
    (1, 4874, 380), (4875, 5151, 3000), (5152, 5154, 3300), (5155, 6894, 6000), (6895, 6896, 6600),
    (6897, 6915, 10000), (6916, 6922, 110), (6923, 6924, 115), (6925, 6931, 220), (6932, 6932, 230),
    (6933, 6933, 283.5), (6934, 6934, 253.5), (6935, 6935, 100),
]

# IEC rated output steps (kW) and the finer R20-like steps used for high-voltage machines.
LV_STEPS = [0.12, 0.18, 0.25, 0.37, 0.55, 0.75, 1.1, 1.5, 2.2, 3, 4, 5.5, 7.5, 11, 15, 18.5, 22, 30, 37, 45, 55,
            75, 90, 110, 132, 160, 200, 250, 315, 355, 400, 450, 500, 560, 630, 710, 800, 900, 1000]
HV_STEPS = [160, 185, 200, 220, 250, 280, 315, 355, 400, 450, 500, 560, 630, 710, 800, 900, 1000, 1120, 1250,
            1400, 1600, 1800, 2000, 2240, 2500, 2800, 3150, 3550, 4000, 4500, 5000, 5600]


# ---------------------------------------------------------------------------------------------- public figures

def read_table(name):
    rows = []
    with open(os.path.join(HERE, name), newline="", encoding="utf-8") as f:
        lines = [line for line in f if line.strip() and not line.startswith("#")]
    reader = csv.reader(lines)
    header = next(reader)
    for row in reader:
        rows.append([float(x) for x in row])
    return header, rows


def interp_log(points, kw):
    """Linear interpolation in log10(P) over (kW, value) points, held constant beyond the ends."""
    if kw <= points[0][0]:
        return points[0][1]
    if kw >= points[-1][0]:
        return points[-1][1]
    x = math.log10(kw)
    for (k0, v0), (k1, v1) in zip(points, points[1:]):
        if k0 <= kw <= k1:
            t = (x - math.log10(k0)) / (math.log10(k1) - math.log10(k0))
            return v0 + t * (v1 - v0)
    raise AssertionError(kw)


def load_figures():
    header, rows = read_table("ie-efficiency-50hz.csv")
    ie = {}
    for col, title in enumerate(header[1:], start=1):
        cls, poles = title.split("_")  # "IE3_4p"
        ie[(int(cls[2:]), int(poles[:-1]))] = [(r[0], r[col]) for r in rows]
    header, rows = read_table("no-load-current-fraction.csv")
    i0 = {int(title[:-1]): [(r[0], r[col]) for r in rows] for col, title in enumerate(header[1:], start=1)}
    header, rows = read_table("rated-current-400v-4pole.csv")
    cos4 = [(r[0], r[1]) for r in rows]
    # The table's own check: its currents follow from power, efficiency and power factor at 400 V.
    for kw, cos, eta, amps in rows:
        assert abs(kw * 1000 / (SQRT3 * 400 * eta / 100 * cos) / amps - 1) < 0.08, kw
    return ie, i0, cos4


IE, I0_SHARE, COS_4POLE = load_figures()


def ie_minimum(cls, poles, kw):
    # The 200 kW minimum holds up to 1000 kW.
    return interp_log(IE[(cls, poles)], min(kw, 200.0))


# ---------------------------------------------------------------------------------------------- frames

# Shaft height and length per rated output on the IEC frame assignment (poles -> kW -> frame), low voltage.
LV_FRAMES = {
    2: dict(zip([0.18, 0.25, 0.37, 0.55, 0.75, 1.1, 1.5, 2.2, 3, 4, 5.5, 7.5, 11, 15, 18.5, 22, 30, 37, 45, 55, 75,
                 90, 110, 132, 160, 200, 250, 315, 355],
                ["63M1", "63M2", "71M1", "71M2", "80M1", "80M2", "90S", "90L", "100L", "112M", "132S1", "132S2",
                 "160M1", "160M2", "160L", "180M", "200L1", "200L2", "225M", "250M", "280S", "280M", "315S", "315M",
                 "315L1", "315L2", "355M", "355L1", "355L2"])),
    4: dict(zip([0.12, 0.18, 0.25, 0.37, 0.55, 0.75, 1.1, 1.5, 2.2, 3, 4, 5.5, 7.5, 11, 15, 18.5, 22, 30, 37, 45, 55,
                 75, 90, 110, 132, 160, 200, 250, 315, 355],
                ["63M1", "63M2", "71M1", "71M2", "80M1", "80M2", "90S", "90L", "100L1", "100L2", "112M", "132S",
                 "132M", "160M", "160L", "180M", "180L", "200L", "225S", "225M", "250M", "280S", "280M", "315S",
                 "315M", "315L1", "315L2", "355M", "355L1", "355L2"])),
    6: dict(zip([0.18, 0.25, 0.37, 0.55, 0.75, 1.1, 1.5, 2.2, 3, 4, 5.5, 7.5, 11, 15, 18.5, 22, 30, 37, 45, 55, 75,
                 90, 110, 132, 160, 200, 250, 315],
                ["71M1", "71M2", "80M1", "80M2", "90S", "90L", "100L", "112M", "132S", "132M1", "132M2", "160M",
                 "160L", "180L", "200L1", "200L2", "225M", "250M", "280S", "280M", "315S", "315M", "315L1", "315L2",
                 "355M1", "355M2", "355L1", "355L2"])),
    8: dict(zip([0.18, 0.25, 0.37, 0.55, 0.75, 1.1, 1.5, 2.2, 3, 4, 5.5, 7.5, 11, 15, 18.5, 22, 30, 37, 45, 55, 75,
                 90, 110, 132, 160, 200, 250],
                ["80M1", "80M2", "90S", "90L", "100L1", "100L2", "112M", "132S", "132M", "160M1", "160M2", "160L",
                 "180L", "200L", "225S", "225M", "250M", "280S", "280M", "315S", "315M", "315L1", "315L2", "355M1",
                 "355M2", "355L1", "355L2"])),
}


def big_frame(poles, kw, heights, first_kw):
    """Frames of the large machines: the size grows with torque (power times pole pairs), four lengths each."""
    slot = int(math.floor(4.0 * math.log2(kw * (poles / 4.0) ** 0.8 / first_kw) + 1e-9))
    slot = max(0, min(slot, 4 * len(heights) - 1))
    return "%d%s" % (heights[slot // 4], "SMLX"[slot % 4])


def lv_frame(poles, kw):
    if kw in LV_FRAMES[poles]:
        return LV_FRAMES[poles][kw]
    return big_frame(poles, kw, [400, 450, 500, 560], 250)


def hv_frame(poles, kw):
    return big_frame(poles, kw, [355, 400, 450, 500, 560, 630, 710, 800, 900], 160)


# ---------------------------------------------------------------------------------------------- series

class Series:
    """One category: a motor type of one voltage; `poles` maps pole count to an inclusive kW range."""

    def __init__(self, name, model, voltage, poles, cls=None, eta_shift=0.0, cos_shift=0.0, i0_factor=1.0,
                 loss_factor=1.0, steps=None):
        self.name, self.model, self.voltage, self.poles = name, model, voltage, poles
        self.cls, self.eta_shift, self.cos_shift = cls, eta_shift, cos_shift
        self.i0_factor, self.loss_factor = i0_factor, loss_factor
        self.steps = steps or (LV_STEPS if voltage < 1000 else HV_STEPS)

    def ratings(self):
        for poles, (lo, hi) in self.poles.items():
            for kw in self.steps:
                if lo <= kw <= hi:
                    yield poles, kw


def R(r2=None, r4=None, r6=None, r8=None):
    return {p: r for p, r in ((2, r2), (4, r4), (6, r6), (8, r8)) if r}


# The usual output range of each pole count in the general-purpose frames (63 to 355).
FULL = R((0.18, 355), (0.12, 355), (0.18, 315), (0.18, 250))
CLASS_WORD = {1: "标准效率", 2: "高效率", 3: "超高效", 4: "超超高效"}
POLES_WORD = "2~8极"


def low_voltage_series():
    out = []
    # General purpose, IP55, foot mounted: one category per class and pole count.
    for cls in (1, 2, 3, 4):
        for poles in (2, 4, 6, 8):
            out.append(Series("IE%d %s三相异步电动机 380V %d极" % (cls, CLASS_WORD[cls], poles), "MV%d" % cls, 380,
                              {poles: FULL[poles]}, cls=cls))

    def typed(cls, word, tag, poles, **kw):
        out.append(Series("IE%d %s 380V %s" % (cls, word, kw.pop("poles_word", POLES_WORD)), "MV%d-%s" % (cls, tag),
                          380, poles, cls=cls, **kw))

    for cls in (2, 3, 4):
        typed(cls, "法兰安装三相异步电动机（B5/B35）", "FL", R((0.18, 315), (0.12, 315), (0.18, 250), (0.18, 200)))
    for cls in (2, 3):
        typed(cls, "立式三相异步电动机（V1）", "VT", R((0.75, 315), (0.55, 315), (0.75, 250), (1.5, 200)))
    for cls in (2, 3, 4):
        typed(cls, "变频调速专用三相异步电动机（独立风机）", "VS", R((0.75, 315), (0.55, 315), (0.75, 250), (0.75, 200)),
              cos_shift=-0.01, i0_factor=1.05)
    for cls in (1, 2, 3):
        typed(cls, "隔爆型三相异步电动机（Ex d IIB T4）", "XB", R((0.55, 315), (0.55, 315), (0.37, 250), (0.55, 200)),
              cos_shift=-0.01)
    for cls in (2, 3):
        typed(cls, "隔爆型三相异步电动机（Ex d IIC T4）", "XC", R((0.75, 200), (0.55, 200), (0.75, 160), (1.1, 132)),
              cos_shift=-0.01)
    for cls in (2, 3):
        typed(cls, "增安型三相异步电动机（Ex e IIC T3）", "XE", R((0.75, 160), (0.55, 160), (0.75, 132), (1.1, 110)),
              eta_shift=-0.2)
    for cls in (2, 3):
        typed(cls, "粉尘防爆三相异步电动机（Ex tb IIIC）", "XD", R((0.55, 200), (0.37, 200), (0.55, 160), (0.75, 132)))
    for cls in (1, 2, 3):
        typed(cls, "防护式三相异步电动机（IP23）", "OP", R((11, 315), (11, 315), (7.5, 250), (5.5, 200)), eta_shift=0.2,
              cos_shift=0.01)
    for cls in (2, 3):
        typed(cls, "船用三相异步电动机", "MA", R((0.37, 250), (0.25, 250), (0.37, 200), (0.75, 160)))
    for cls in (2, 3):
        typed(cls, "高原型三相异步电动机（海拔4000m）", "HA", R((0.75, 200), (0.55, 200), (0.75, 160), (2.2, 132)),
              eta_shift=-0.1)
    for cls in (2, 3):
        typed(cls, "湿热带型三相异步电动机", "TR", R((0.55, 250), (0.37, 250), (0.55, 200), (0.75, 160)))
    for cls in (2, 3):
        typed(cls, "户外防腐型三相异步电动机（WF1）", "CR", R((0.55, 250), (0.37, 250), (0.55, 200), (0.75, 160)))
    for cls in (2, 3):
        typed(cls, "低振动低噪声三相异步电动机", "LN", R((0.75, 200), (0.55, 200), (0.75, 160), (1.5, 132)),
              eta_shift=0.1)
    for cls in (2, 3):
        typed(cls, "电磁制动三相异步电动机", "BR", R((0.37, 45), (0.25, 45), (0.37, 37), (0.55, 30)), eta_shift=-0.3,
              cos_shift=-0.01)
    typed(1, "高转差率三相异步电动机（S3 40%）", "HS", R(None, (0.55, 160), (0.55, 132), (0.75, 110)), eta_shift=-3.0,
          cos_shift=-0.02, i0_factor=1.05, poles_word="4~8极")
    typed(1, "起重冶金用笼型三相异步电动机（S3 40%）", "LF", R(None, (2.2, 132), (1.5, 110), (3, 90)), eta_shift=-2.0,
          cos_shift=-0.03, i0_factor=1.1, poles_word="4~8极")
    for cls in (2, 3):
        typed(cls, "高温排烟风机用三相异步电动机（300℃/1h）", "SE", R((1.1, 200), (0.75, 200), (0.75, 160), (1.1, 132)),
              eta_shift=-0.1)
    for cls in (3, 4):
        typed(cls, "泵用直联三相异步电动机", "PU", R((0.37, 250), (0.55, 250), None, None), poles_word="2,4极")
    typed(3, "冷却塔风机用三相异步电动机", "CT", R(None, None, (2.2, 75), (2.2, 75)), cos_shift=-0.01,
          poles_word="6,8极")
    for cls in (2, 3):
        typed(cls, "煤矿井下用隔爆型三相异步电动机（Ex d I Mb）", "XM", R((1.1, 315), (0.75, 315), (1.1, 250), (1.5, 200)),
              cos_shift=-0.01)
    for cls in (2, 3):
        typed(cls, "隔爆型变频调速三相异步电动机（Ex d IIB T4）", "XV", R((1.1, 315), (0.75, 315), (1.1, 250), (1.5, 200)),
              cos_shift=-0.02, i0_factor=1.05)
    for cls in (2, 3):
        typed(cls, "高环境温度型三相异步电动机（55℃，H级绝缘）", "HT", R((0.55, 250), (0.37, 250), (0.55, 200), (0.75, 160)),
              eta_shift=-0.1)
    for cls in (2, 3, 4):
        typed(cls, "铝合金机座三相异步电动机", "AL", R((0.18, 15), (0.12, 15), (0.18, 11), (0.18, 7.5)))
    for cls in (2, 3):
        typed(cls, "IP56 高防护型三相异步电动机", "PX", R((0.55, 250), (0.37, 250), (0.55, 200), (0.75, 160)))
    typed(3, "纺织机械用三相异步电动机", "TX", R((0.55, 90), (0.37, 90), None, None), poles_word="2,4极")
    typed(3, "输送机用三相异步电动机", "CV", R(None, (0.55, 45), (0.75, 45), None), poles_word="4,6极")
    typed(2, "木工机械用三相异步电动机", "WD", R((0.75, 15), None, None, None), poles_word="2极")
    typed(3, "双轴伸三相异步电动机", "DS", R((0.55, 250), (0.37, 250), (0.55, 200), (0.75, 160)))
    typed(3, "压缩机专用三相异步电动机", "CP", R((2.2, 250), (2.2, 250), None, None), poles_word="2,4极")
    for cls in (2, 3, 4):
        typed(cls, "大功率低压三相异步电动机（400~560机座）", "LG",
              R((355, 710), (355, 1000), (355, 800), (355, 630)), eta_shift=0.1)
    return out


def high_voltage_series():
    out = []

    def hv(voltage_word, voltage, word, tag, poles, **kw):
        out.append(Series("高压三相异步电动机 %s, %s %s" % (voltage_word, word, kw.pop("poles_word", POLES_WORD)),
                          "MH%s" % tag, voltage, poles, **kw))

    # 3 kV: from about 160 kW (the 1..3 kV machines start near 100 kW).
    hv("3kV", 3000, "IP44 箱式", "K3", R((160, 2000), (160, 2000), (160, 2000), (160, 1800)))
    hv("3kV", 3000, "IP23 防护式", "P3", R((160, 2240), (160, 2240), (160, 1800), (160, 1600)), cos_shift=0.01)
    hv("3kV", 3000, "IP55 高效", "E3", R((160, 2500), (160, 2800), (160, 2000), (160, 1600)), loss_factor=0.85)
    hv("3.3kV", 3300, "IP55 出口型", "E33", R(None, (280, 355), None, None), loss_factor=0.9, poles_word="4极")
    # 6 kV: the wide middle of the range.
    hv("6kV", 6000, "IP44 箱式", "K6", R((200, 5600), (200, 5600), (200, 4000), (200, 3150)))
    hv("6kV", 6000, "IP44 箱式高效", "KE6", R((200, 5600), (200, 5600), (200, 4000), (200, 3150)), loss_factor=0.85)
    hv("6kV", 6000, "IP23 防护式", "P6", R((200, 5600), (200, 5600), (200, 4000), (200, 3150)), cos_shift=0.01)
    hv("6kV", 6000, "IP23 防护式高效", "PE6", R((220, 5600), (200, 5600), (200, 4000), (220, 3150)),
       loss_factor=0.85, cos_shift=0.01)
    hv("6kV", 6000, "IP55 表面冷却", "S6", R((200, 1600), (200, 1600), (200, 1250), (200, 1000)), loss_factor=1.03,
       cos_shift=-0.01)
    hv("6kV", 6000, "IP55 空-水冷", "W6", R((630, 5600), (630, 5600), (630, 4500), (630, 3550)))
    hv("6kV", 6000, "隔爆型（Ex d IIB T4）", "XB6", R((200, 2000), (200, 2500), (200, 1800), (200, 1400)),
       loss_factor=1.04, cos_shift=-0.01)
    hv("6kV", 6000, "增安型（Ex eb IIC T3）", "XE6", R((250, 2500), (250, 2500), (250, 2000), (250, 1600)),
       loss_factor=1.02)
    hv("6kV", 6000, "正压型（Ex pzc IIC T4）", "XP6", R((450, 5600), (450, 5600), (450, 4000), (450, 3150)))
    hv("6kV", 6000, "变频调速专用", "VS6", R((250, 5000), (200, 5000), (200, 4000), (200, 3150)), cos_shift=-0.01,
       i0_factor=1.05)
    hv("6kV", 6000, "立式（泵用）", "VT6", R((200, 2500), (200, 3150), (200, 2500), (200, 2000)))
    hv("6kV", 6000, "高原型（海拔4000m）", "HA6", R((200, 2500), (200, 2500), (200, 2000), (200, 1600)),
       loss_factor=1.02)
    hv("6kV", 6000, "船用及海上平台", "MA6", R((200, 2000), (200, 2500), (200, 2000), (200, 1600)))
    hv("6kV", 6000, "低振动低噪声", "LN6", R((200, 2500), (200, 3150), (200, 2500), (200, 2000)))
    hv("6kV", 6000, "湿热带型", "TR6", R((200, 2000), (200, 2500), (200, 2000), (200, 1600)))
    hv("6kV", 6000, "风机水泵专用", "FP6", R(None, (250, 5600), (250, 4000), (250, 3150)), poles_word="4~8极")
    # 6.6 kV and 10 kV: the 6..11 kV machines start near 800 kW.
    hv("6kV", 6000, "IP44 箱式超高效", "KU6", R((250, 5600), (250, 5600), (250, 4000), (250, 3150)), loss_factor=0.75)
    hv("6kV", 6000, "隔爆型变频调速（Ex d IIB T4）", "XV6", R((200, 2000), (200, 2500), (200, 1800), (200, 1400)),
       loss_factor=1.04, cos_shift=-0.02, i0_factor=1.05)
    hv("6kV", 6000, "高起动转矩（破碎机、磨机）", "MT6", R((200, 2500), (200, 4000), (200, 3150), (200, 2500)),
       loss_factor=1.05, cos_shift=-0.01)
    hv("6.6kV", 6600, "IP55 出口型", "E66", R(None, (1000, 1120), None, None), loss_factor=0.9, poles_word="4极")
    hv("10kV", 10000, "IP44 箱式", "K10", R((1000, 1600), (800, 2240), (800, 1120), None),
       loss_factor=1.05)
    return out


def special_voltage_series():
    out = []

    def sp(voltage, cls, poles, lo, hi):
        word = "%g" % voltage
        out.append(Series("IE%d 特殊电压三相异步电动机 %sV %d极" % (cls, word, poles), "MV%d-U%s" % (cls, word.replace(".", "")),
                          voltage, {poles: (lo, hi)}, cls=cls))

    sp(110, 2, 4, 0.12, 1.1)
    sp(115, 2, 2, 0.37, 0.55)
    sp(220, 3, 4, 0.55, 4)
    sp(230, 3, 4, 1.5, 1.5)
    sp(283.5, 3, 4, 2.2, 2.2)
    sp(253.5, 3, 2, 1.1, 1.1)
    sp(100, 2, 4, 0.37, 0.37)
    return out


# ---------------------------------------------------------------------------------------------- nameplates

def cos_phi(series, poles, kw, rng):
    if series.voltage >= 1000:
        base = {2: 0.89, 4: 0.87, 6: 0.85, 8: 0.82}[poles] + min(0.02, 0.01 * max(0.0, math.log2(kw / 500)))
    else:
        # Two-pole machines sit a few hundredths above four-pole ones, eight-pole about a tenth below.
        base = interp_log(COS_4POLE, kw) + {2: 0.03, 4: 0.0, 6: -0.05, 8: -0.10}[poles]
        if kw > 200:
            base += 0.01
    return min(0.93, max(0.62, base + series.cos_shift + rng.uniform(-0.01, 0.01)))


def efficiency(series, poles, kw, rng):
    if series.voltage >= 1000:
        # Losses fall with size: about 6.8 % at 160 kW, 4.5 % at 1 MW, 3 % at 5.6 MW.
        loss = 6.8 * (kw / 160.0) ** -0.22 * {2: 0.97, 4: 1.0, 6: 1.05, 8: 1.1}[poles]
        loss *= series.loss_factor * rng.uniform(0.97, 1.03)
        if series.voltage >= 10000:
            loss *= 1.05  # thicker insulation, less copper in the slot
        return round(100.0 - loss, 1)
    # A little above the class minimum, as real motors are.
    return round(ie_minimum(series.cls, poles, kw) + series.eta_shift + rng.uniform(0.1, 0.7), 1)


def round_current(a):
    return round(a, 3 if a < 1 else 2 if a < 10 else 1)


def round_sig(x, digits=3):
    return round(x, digits - 1 - int(math.floor(math.log10(abs(x)))))


def nameplate(series, poles, kw, rng):
    eta = efficiency(series, poles, kw, rng)
    cos = cos_phi(series, poles, kw, rng)
    rated_a = round_current(kw * 1000.0 / (SQRT3 * series.voltage * eta / 100.0 * cos))
    if series.voltage >= 1000:
        share = {2: 0.22, 4: 0.26, 6: 0.30, 8: 0.34}[poles]
    else:
        share = interp_log([(k, v) for k, v in I0_SHARE[poles]], kw)
    no_load_a = round_current(rated_a * share * series.i0_factor * rng.uniform(0.95, 1.05))
    # Constant losses (iron, friction, windage) are 20..40 % of the rated losses; two-pole machines have the
    # most windage.
    loss_kw = (100.0 / eta - 1.0) * kw
    p0_share = {2: 0.33, 4: 0.29, 6: 0.27, 8: 0.26}[poles] + rng.uniform(-0.05, 0.05)
    no_load_kw = round_sig(loss_kw * min(0.40, max(0.20, p0_share)))
    return {"poles": poles, "kw": kw, "amps": rated_a, "eta": eta, "i0": no_load_a, "p0": no_load_kw,
            "volts": series.voltage, "cos": cos}


# ---------------------------------------------------------------------------------------------- packed numbers

def encode_packed(v):
    """The instrument's three-byte number: 16-bit mantissa fraction (low byte first), then sign and exponent."""
    assert v > 0
    frac, e = math.frexp(v)  # v = frac * 2^e, 0.5 <= frac < 1
    mant = int(math.floor(frac * 65536 + 0.5))
    if mant == 65536:
        mant, e = 32768, e + 1
    assert -64 <= e <= 63, v
    return bytes([mant & 0xFF, mant >> 8, e if e >= 0 else 128 + e])


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def decode_packed(b0, b1, b2):
    m = (256 * b1 + b0) / 65536.0
    c = b2
    if c > 127:
        m, c = -m, c - 128
    return f32(m / 2.0 ** (128 - c) if c >= 64 else m * 2.0 ** c)


def record_bytes(p):
    out = bytes([p["poles"]])
    for key in ("kw", "amps", "eta", "i0", "p0"):
        out += encode_packed(p[key])
    assert len(out) == RECORD_BYTES
    return out


def decode_record(raw):
    return [float(raw[0])] + [decode_packed(*raw[i:i + 3]) for i in range(1, RECORD_BYTES, 3)]


def voltage_of_code(code):
    for lo, hi, volts in BANDS:
        if lo <= code <= hi:
            return volts
    return 0


def consistency_faults(values, volts):
    """What is wrong with a decoded record, judged the way the program and its tests judge it."""
    poles, kw, amps, eta, i0, p0 = values
    faults = []
    if poles not in (2, 4, 6, 8):
        faults.append("poles %g" % poles)
    if min(kw, amps, eta, i0, p0) <= 0:
        faults.append("a value is not above zero")
        return faults
    if not 0 < eta < 100:
        faults.append("efficiency %g" % eta)
        return faults
    loss = f32((100.0 / eta - 1.0) * kw)
    if not p0 < loss:
        faults.append("no-load power %g not below rated losses %g" % (p0, loss))
    if not i0 < amps:
        faults.append("no-load current %g not below rated current %g" % (i0, amps))
    cos = kw * 1000.0 / (SQRT3 * volts * eta / 100.0 * amps)
    if not 0.6 <= cos <= 0.95:
        faults.append("implied power factor %.3f" % cos)
    return faults


# ---------------------------------------------------------------------------------------------- the catalogue

def fmt(x):
    return "%g" % x


def voltage_word(volts):
    return "%gkV" % (volts / 1000.0) if volts >= 1000 else "%gV" % volts


def description(series, p):
    frame = hv_frame(p["poles"], p["kw"]) if series.voltage >= 1000 else lv_frame(p["poles"], p["kw"])
    text = "%s-%s-%d  %skW  " % (series.model, frame, p["poles"], fmt(p["kw"]))
    if series.voltage != 380:
        text += voltage_word(series.voltage) + "  "
    return text + "%sA  η%.1f%%" % (fmt(p["amps"]), p["eta"])


def build():
    series = low_voltage_series() + high_voltage_series() + special_voltage_series()
    categories, models, records = [], [], []
    for s in series:
        rng = random.Random(zlib.crc32(s.name.encode("utf-8")))
        first = len(models) + 1
        for serial, (poles, kw) in enumerate(s.ratings(), start=1):
            p = nameplate(s, poles, kw, rng)
            code = len(records) + 1
            models.append((serial, code, description(s, p)))
            records.append(record_bytes(p))
            if voltage_of_code(code) != s.voltage:
                raise SystemExit("code %d (%s) is %g V but its band is %g V: adjust the series ranges"
                                 % (code, s.name, s.voltage, voltage_of_code(code)))
        categories.append((first, len(models), s.name))
    if len(records) != MAX_CODE:
        raise SystemExit("%d records instead of %d: adjust the series ranges" % (len(records), MAX_CODE))
    return categories, models, records


def text_file(lines):
    return b"".join(line.encode("gbk") + b"\r\n" for line in lines)


def render(categories, models, records):
    return {
        "MT_fe.txt": text_file("%d,%d,%s" % c for c in categories),
        "bmindex.txt": text_file("%d,%d,%s" % m for m in models),
        "MTALL.OBJ": b"".join(records),
    }


# ---------------------------------------------------------------------------------------------- verification

def parse_line(raw):
    """Two whole numbers each ended by a comma, blanks skipped, then the rest verbatim."""
    fields, rest = [], raw
    for _ in range(2):
        head, sep, rest = rest.partition(b",")
        if not sep or not head.strip().isdigit():
            raise ValueError(raw)
        fields.append(int(head.strip()))
    return fields[0], fields[1], rest.decode("gbk")


def verify(files):
    """Reads the rendered files back as the program will and checks every rule; returns a list of faults."""
    faults = []
    cat_lines = files["MT_fe.txt"].split(b"\r\n")
    idx_lines = files["bmindex.txt"].split(b"\r\n")
    if cat_lines[-1] != b"" or idx_lines[-1] != b"":
        faults.append("a text file does not end with CR LF")
    cat_lines, idx_lines = cat_lines[:-1], idx_lines[:-1]
    if any(b"\r" in l or b"\n" in l for l in cat_lines + idx_lines):
        faults.append("a stray CR or LF inside a line")
    if not 1 <= len(cat_lines) <= MAX_CATEGORIES:
        faults.append("%d categories" % len(cat_lines))
    blob = files["MTALL.OBJ"]
    if len(blob) != MAX_CODE * RECORD_BYTES:
        faults.append("MTALL.OBJ has %d bytes" % len(blob))
        return faults

    expected_first = 1
    for k, line in enumerate(cat_lines, start=1):
        first, last, name = parse_line(line)
        if first != expected_first or last < first or last - first + 1 > MAX_MODELS_PER_CATEGORY:
            faults.append("category %d (%s) spans lines %d..%d" % (k, name, first, last))
        expected_first = last + 1
    if expected_first - 1 != len(idx_lines):
        faults.append("categories cover %d model lines, the index has %d" % (expected_first - 1, len(idx_lines)))

    seen = [0] * (MAX_CODE + 1)
    for n, line in enumerate(idx_lines, start=1):
        _, code, text = parse_line(line)
        if not 1 <= code <= MAX_CODE:
            faults.append("model line %d has code %d" % (n, code))
            continue
        seen[code] += 1
        values = decode_record(blob[RECORD_BYTES * (code - 1):RECORD_BYTES * code])
        shown_kw = float(text.split("  ")[1][:-2])
        if abs(values[1] / shown_kw - 1) > 1e-3:
            faults.append("model line %d shows %g kW, record %d holds %g" % (n, shown_kw, code, values[1]))
        for fault in consistency_faults(values, voltage_of_code(code)):
            faults.append("code %d: %s" % (code, fault))
    faults += ["code %d is reached from %d model lines" % (c, k) for c, k in enumerate(seen) if c and k != 1]
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.dirname(HERE), help="directory of the catalogue files (data/)")
    parser.add_argument("--check", action="store_true", help="compare the files in --out, write nothing")
    args = parser.parse_args()

    categories, models, records = build()
    files = render(categories, models, records)
    faults = verify(files)
    for fault in faults:
        print("make_catalogue: " + fault, file=sys.stderr)
    if faults:
        return 1

    if args.check:
        stale = []
        for name, content in files.items():
            path = os.path.join(args.out, name)
            if not os.path.exists(path) or open(path, "rb").read() != content:
                stale.append(name)
        for name in stale:
            print("make_catalogue: %s differs from what the generator makes" % name, file=sys.stderr)
        return 1 if stale else 0

    for name, content in files.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(content)
    print("%d categories, %d models, %d bytes of nameplate records" % (len(categories), len(models),
                                                                      len(files["MTALL.OBJ"])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
