#!/usr/bin/env python3
"""Writes the module fuzzer's seed inputs into fuzz/corpus/module/, and the
findings it made, each as the scenario that shows it, into fuzz/regressions/module/.

Each input is a short scenario written in the byte language module_target.cpp
decodes: this file mirrors its reads one for one (the same order, the same
ranges, the same tables), so a change to the decoder needs the same change here,
and running this again keeps the findings meaning what they meant.
THIMBLEROUTE_FUZZ_TRACE=1 on a replay shows what an input does.
"""
import pathlib
import struct

# Tables of module_target.cpp, by size or by value where a seed names an entry.
SPECIAL_NUMBERS = 29  # index 0 is NaN
NAN_INDEX, INFINITY_INDEX = 0, 2
HUGE_COORDINATES = 16
TIME_SCALES = [1, 24, 25, 30, 600, 1000, 2997, 30000, 1000000, 0x7FFFFFFF, 0x80000000,
               0xFFFFFFFE, 0xFFFFFFFF]
LARGE_TIME_SCALES = 8
SCALE_FRACTIONS = 7
SPECIAL_TIMES = 11
CLOCK_STEPS = [1, 2, 100, 1001, 0, -1, -100, -2**31, 2**31 - 1, 1 << 28, "raw"]
CLOCK_TOTALS = [0, 1, 10, 100, 1000, -1, -2**31, 2**31 - 1, "raw"]
FORMATS = ["8", "16", "32"]
HOST_CALLS = [
    "AcquireSuite", "ReleaseSuite", "host_new_handle", "host_lock_handle", "host_unlock_handle",
    "host_dispose_handle", "host_get_handle_size", "AEGP_RegisterWithAEGP", "add_param",
    "checkout_param", "checkin_param", "PF_CheckoutPath", "PF_CheckinPath", "PF_PathIsOpen",
    "PF_PathNumSegments", "PF_PathPrepareSegLength", "PF_PathGetSegLength",
    "PF_PathEvalSegLengthDeriv1", "PF_PathCleanupSegLength", "AEGP_GetLayerNumMasks",
    "AEGP_GetNewEffectForEffect", "AEGP_DisposeEffect", "AEGP_GetNewEffectStreamByIndex",
    "AEGP_DisposeStream", "AEGP_GetNewStreamValue", "AEGP_DisposeStreamValue",
    "AEGP_SetStreamValue", "AEGP_SetDynamicStreamFlag", "AEGP_StartAddKeyframes",
    "AEGP_AddKeyframes", "AEGP_SetAddKeyframe", "AEGP_EndAddKeyframes", "PF_GetCurrentState",
    "PF_HasParamChanged", "PF_GetPixelFormat", "copy", "fill", "checkout_layer",
    "checkout_layer_pixels", "checkin_layer_pixels", "checkout_output", "atan2", "fmod",
    "sprintf", "strcpy"]
FAULT_CODES = [4, 512, 516, -1, 1, 0x7E57, -2**31, 2**31 - 1]
SUITES = 13
MASK_IDS = [1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFF, 0x80000000]
VERTEX_COUNTS = [0, 1, 2, 3, 4, 5, "6..24", 100, 1000, 4000]
OTHER_SELECTORS = 18
ACTIONS = ["SET_PARAM", "FRAME", "BAKE", "UPDATE_UI", "USER_CHANGED", "RESETUP", "FLATTEN",
           "SETDOWN", "SETUP", "ABOUT", "GENERAL", "OTHER_SELECTOR", "FAIL_CALL", "SUITE_QUIRK",
           "CLEAR_FAULTS", "BASIC_SUITE", "CLOCK", "LAYER", "ADD_MASK", "REMOVE_MASK",
           "MASK_KEYFRAME", "GLOBAL_SETDOWN"]
PATH, PERCENT, ANGLE_OFFSET, POINT, ANGLE, ON_TRANSPARENT, BAKE, GUIDE, GUIDE_COLOR = range(1, 10)
PARAM_TYPES = {PATH: "path", PERCENT: "number", ANGLE_OFFSET: "number", POINT: "point",
               ANGLE: "number", ON_TRANSPARENT: "choice", BAKE: "choice", GUIDE: "choice",
               GUIDE_COLOR: "color"}
SET, KEYFRAME, UNKEY, SET_UNCHECKED, KEYFRAME_UNCHECKED = range(5)


class Seed:
    """Bytes as FuzzInput reads them."""

    def __init__(self):
        self.data = bytearray()
        self.layer = (0, 0)

    # ---- FuzzInput ----
    def byte(self, v):
        self.data.append(v & 0xFF)

    def bool(self, v):
        self.byte(1 if v else 0)

    def bits(self, fmt, v):
        self.data += struct.pack("<" + fmt, v)

    def in_range(self, lo, hi, v):
        assert lo <= v <= hi, (lo, v, hi)
        span = hi - lo
        self.data += (v - lo).to_bytes((span.bit_length() + 7) // 8, "big")

    def pick(self, size, i):
        self.in_range(0, size - 1, i)

    # ---- Driver's reads ----
    def number(self, v=None, special=None, raw=None):
        """A whole number in -50..400, a special (by index) or raw double bits."""
        if special is not None:
            self.in_range(0, 5, 2)
            self.pick(SPECIAL_NUMBERS, special)
        elif raw is not None:
            self.in_range(0, 5, 3)
            self.bits("d", raw)
        else:
            self.in_range(0, 5, 0)
            self.in_range(-50, 400, v)

    def coordinate(self, v):
        if isinstance(v, int) and -20 <= v <= 80:
            self.in_range(0, 3, 0)
            self.in_range(-20, 80, v)
        else:
            self.in_range(0, 3, 3)
            self.bits("d", float(v))

    def time(self, t):
        if 0 <= t <= 63:
            self.in_range(0, 4, 0)
            self.in_range(0, 63, t)
        else:
            self.in_range(0, 4, 2)
            self.bits("i", t)

    def key_time(self, t, scale):
        self.bool(True)
        self.time(t)
        self.pick(len(TIME_SCALES), TIME_SCALES.index(scale))

    def near_whole(self, scale_index, less, fraction_index, delta):
        """A key time near a fraction of a large scale: the scale less `less`."""
        self.bool(False)
        self.pick(LARGE_TIME_SCALES, scale_index)
        self.in_range(0, 3, less)
        self.pick(SCALE_FRACTIONS, fraction_index)
        self.in_range(-2, 2, delta)

    def clock(self, scale, current, step, total, near=None):
        """`near`: the scale and time from near_whole(*near) in place of scale and current."""
        if near is not None:
            self.bool(True)
            self.near_whole(*near)
        else:
            self.bool(False)
            self.pick(len(TIME_SCALES), TIME_SCALES.index(scale))
            self.time(current)
        raw_step = 0 if step in CLOCK_STEPS else step
        self.bits("i", raw_step)
        self.pick(len(CLOCK_STEPS), CLOCK_STEPS.index(step if step in CLOCK_STEPS else "raw"))
        raw_total = 0 if total in CLOCK_TOTALS else total
        self.bits("i", raw_total)
        self.pick(len(CLOCK_TOTALS), CLOCK_TOTALS.index(total if total in CLOCK_TOTALS else "raw"))

    def set_layer(self, width, height):
        self.in_range(0, 40, width)
        self.in_range(0, 40, height)
        self.layer = (width, height)

    def mask(self, mask_id, closed, vertices=None, count=None, reach=None, seed=1, curved=False):
        """Explicit vertices [(x, y[, (in_x, in_y, out_x, out_y)])], or `count` generated."""
        self.pick(len(MASK_IDS), MASK_IDS.index(mask_id))
        self.bool(closed)
        n = len(vertices) if vertices is not None else count
        six_to_24 = n if 6 <= n <= 24 else 6
        self.in_range(6, 24, six_to_24)
        self.pick(len(VERTEX_COUNTS), VERTEX_COUNTS.index("6..24" if 6 <= n <= 24 else n))
        if n <= 24:
            self.bool(vertices is not None)
        if vertices is not None:
            for v in vertices:
                self.coordinate(v[0])
                self.coordinate(v[1])
                if len(v) > 2:
                    self.in_range(0, 3, 0)
                    for c in v[2]:
                        self.coordinate(c)
                else:
                    self.in_range(0, 3, 1)
        else:
            self.coordinate(reach)
            self.bits("I", seed)
            self.bool(curved)

    def fault(self, call=None, nth=1, code=4, suite=None, quirk=0):
        if call is not None:
            self.in_range(0, 4, 0)
            self.pick(len(HOST_CALLS), HOST_CALLS.index(call))
            self.in_range(1, 12, nth)
            self.pick(len(FAULT_CODES), FAULT_CODES.index(code))
        else:
            self.in_range(0, 4, 2)
            self.pick(SUITES, suite)
            self.pick(3, quirk)

    def action(self, name):
        self.pick(len(ACTIONS), ACTIONS.index(name))

    def start(self, layer=(32, 24), clock=(30, 0, 1, 10), masks=(), early_fault=None):
        self.set_layer(*layer)
        self.clock(*clock)
        self.in_range(0, 3, len(masks))
        for m in masks:
            self.mask(**m)
        if early_fault is None:
            self.in_range(0, 3, 0)
        else:
            self.in_range(0, 3, 3)
            self.fault(**early_fault)

    def param(self, index, how=SET, value=None, at=None, **number):
        """value: for path an id (or None with number=...), for a point (x, y), for a
        colour four bytes, for checkboxes and the popup 0..2, else a number()."""
        self.action("SET_PARAM")
        self.in_range(1, 9, index)
        kind = PARAM_TYPES[index]
        if kind == "path":
            if value == 0:
                self.in_range(0, 3, 0)
            elif value is None:
                self.in_range(0, 3, 1)
                self.number(**number)
            else:
                self.in_range(0, 3, 2)
                self.pick(len(MASK_IDS), MASK_IDS.index(value))
        elif kind == "choice":
            if value is None:
                self.in_range(0, 3, 0)
                self.number(**number)
            else:
                self.in_range(0, 3, 1)
                self.in_range(0, 2, value)
        elif kind == "point":
            self.number(value[0])
            self.number(value[1])
        elif kind == "color":
            for channel in value:
                self.bool(True)
                self.byte(channel)
        else:
            self.number(value, **number)
        self.in_range(0, 4, how)
        if how in (KEYFRAME, KEYFRAME_UNCHECKED):
            self.key_time(*at)

    def mask_keyframe(self, masks, index, dx, dy, near):
        """A keyframe of the index-th of `masks` masks, moved by (dx, dy), at near_whole(*near)."""
        self.action("MASK_KEYFRAME")
        self.in_range(0, masks - 1, index)
        self.coordinate(dx)
        self.coordinate(dy)
        self.near_whole(*near)

    def frame(self, time=0, depth="8", downsample=(1, 1), padding=0, bake=False, at_clock=None,
              downsample_y=None):
        """at_clock: the frame at the clock's time plus this (-2..2) in place of `time`."""
        self.action("BAKE" if bake else "FRAME")
        if at_clock is not None:
            self.in_range(0, 4, 3)
            self.in_range(-2, 2, at_clock)
        else:
            self.time(time)
        self.pick(3, FORMATS.index(depth))
        self.in_range(1, 3, downsample[0])
        self.in_range(1, 4, downsample[1])
        if downsample_y is None:
            self.in_range(0, 3, 1)
            downsample_y = downsample
        else:
            self.in_range(0, 3, 0)
            self.in_range(1, 3, downsample_y[0])
            self.in_range(1, 4, downsample_y[1])
        self.in_range(0, 2, padding)
        width = -(-self.layer[0] * downsample[0] // downsample[1])
        height = -(-self.layer[1] * downsample_y[0] // downsample_y[1])
        if width > 0:
            self.in_range(0, 3, 1)
        if height > 0:
            self.in_range(0, 3, 1)


def open_path_guide():
    s = Seed()
    s.start(masks=[dict(mask_id=3, closed=False, vertices=[(4, 12), (28, 12), (28, 20, (0, -4, 0, 0))])])
    s.param(PATH, value=3)
    s.param(GUIDE, value=1)
    s.param(PERCENT, value=50)
    for depth in FORMATS:
        s.frame(time=0, depth=depth)
    s.frame(time=5, depth="16", downsample=(1, 2), padding=2)
    s.frame(time=2, depth="8", downsample=(1, 1), downsample_y=(1, 3))
    s.param(ON_TRANSPARENT, value=1)
    s.frame(time=1, depth="32")
    return s


def closed_path_bake():
    s = Seed()
    s.start(clock=(30, 0, 1, 12),
            masks=[dict(mask_id=1, closed=True, vertices=[(2, 2), (30, 2), (30, 20), (2, 20)])])
    s.param(PATH, value=1)
    s.param(ANGLE_OFFSET, how=KEYFRAME, value=0, at=(0, 30))
    s.param(ANGLE_OFFSET, how=KEYFRAME, value=400, at=(11, 30))
    s.frame(time=3, bake=True)
    s.action("UPDATE_UI")
    s.frame(time=3, depth="32", downsample=(1, 2), bake=True)
    return s


def many_vertices():
    s = Seed()
    s.start(masks=[dict(mask_id=7, closed=False, count=1000, reach=30, seed=12345, curved=True),
                   dict(mask_id=2, closed=True, count=100, reach=80, seed=99)])
    s.param(PATH, value=7)
    s.param(GUIDE, value=1)
    s.param(PERCENT, value=100)
    s.frame(time=0, depth="8")
    s.param(PATH, value=2)
    s.action("USER_CHANGED")
    s.frame(time=0, depth="32", bake=True)
    return s


def faults():
    s = Seed()
    s.start(masks=[dict(mask_id=1, closed=False, vertices=[(0, 0), (20, 20)])],
            early_fault=dict(call="AEGP_SetDynamicStreamFlag", nth=1, code=512))
    s.param(PATH, value=1)
    s.param(GUIDE, value=1)
    s.action("FAIL_CALL")
    s.fault(call="PF_CheckoutPath", nth=1, code=512)
    s.frame(time=0)
    s.action("SUITE_QUIRK")
    s.fault(suite=3, quirk=1)  # PF Path Data Suite hands itself out with an error
    s.frame(time=0, depth="16")
    s.action("SUITE_QUIRK")
    s.in_range(0, 4, 3)
    s.pick(4, 0)  # worlds reported as PF_PixelFormat_INVALID
    s.frame(time=0, depth="32")
    s.action("CLEAR_FAULTS")
    s.action("FAIL_CALL")
    s.fault(call="AEGP_AddKeyframes", nth=3, code=4)
    s.frame(time=0, bake=True)
    s.action("CLEAR_FAULTS")
    s.frame(time=0)
    return s


def odd_values():
    s = Seed()
    s.start(clock=(0xFFFFFFFF, 2**31 - 1, 1 << 28, 2**31 - 1),
            masks=[dict(mask_id=0xFFFFFFFF, closed=True, vertices=[(-1e6, 3), (1e9, -7), (5, 1e15)]),
                   dict(mask_id=4, closed=False, vertices=[(10, 10)])])
    s.param(PATH, value=0xFFFFFFFF)
    s.param(ANGLE_OFFSET, how=SET_UNCHECKED, special=NAN_INDEX)
    s.param(PERCENT, how=SET_UNCHECKED, value=-50)
    s.param(GUIDE, value=1)
    s.frame(time=-2**31, depth="32")
    s.param(BAKE, how=SET_UNCHECKED, value=0)
    s.frame(time=7)
    s.param(PATH, value=4)
    s.param(GUIDE_COLOR, value=(0, 255, 0, 128))
    s.frame(time=0, depth="16")
    s.action("CLOCK")
    s.clock(30, 0, 0, 2**31 - 1)
    s.frame(time=0, bake=True)
    s.action("CLOCK")
    s.clock(30, 0, -1001, 100)
    s.frame(time=0, bake=True)
    return s


def lifecycle():
    s = Seed()
    s.start(layer=(0, 5), masks=[dict(mask_id=2, closed=False, vertices=[])])
    s.param(PATH, value=2)
    s.action("RESETUP")
    s.action("FLATTEN")
    s.action("ABOUT")
    s.action("GENERAL")
    s.data += b"a message from the host\0"
    s.action("OTHER_SELECTOR")
    s.pick(OTHER_SELECTORS, 3)
    s.action("SETDOWN")
    s.action("UPDATE_UI")  # nothing: no instance
    s.action("SETUP")
    s.action("LAYER")
    s.set_layer(3, 40)
    s.frame(time=0, depth="32", downsample=(3, 1))
    s.action("GLOBAL_SETDOWN")
    return s


# ---- Findings ----

def nan_angle_read_as_fixed():
    """An Offset angle that is not a number, checked out as 16.16 fixed point."""
    s = Seed()
    s.start(masks=[dict(mask_id=1, closed=True, vertices=[(2, 2), (30, 2), (16, 20)])])
    s.param(PATH, value=1)
    s.param(GUIDE, value=1)
    s.param(ANGLE_OFFSET, how=SET_UNCHECKED, special=NAN_INDEX)
    s.frame(time=0, depth="32")
    return s


def mask_overflowing_to_nan_length():
    """Vertices near the largest double, rendered at three times the layer's size: the
    host's control points overflowed and the path's lengths came out as no number,
    which the module handed back to it at 100 %."""
    s = Seed()
    s.start(masks=[dict(mask_id=3, closed=False,
                        vertices=[(4, 1e300), (1e308, -1e308), (8, 8)])])
    s.param(PATH, value=3)
    s.param(GUIDE, value=1)
    s.param(PERCENT, value=100)
    s.frame(time=0, depth="8", downsample=(3, 1))
    return s


def close_instants():
    """Mask and Offset keyframes at (q-3)/(q-2) and (q-1)/q and a frame at (q-2)/(q-1),
    q = 1000000007: three instants in order that a double cannot tell apart."""
    s = Seed()
    whole = 4  # SCALE_FRACTIONS[4] is 1.0
    s.start(clock=(None, None, 1, 10, (6, 1, whole, -1)),
            masks=[dict(mask_id=5, closed=False, vertices=[(2, 2), (30, 20)])])
    s.mask_keyframe(1, 0, 0, 0, (6, 2, whole, -1))
    s.mask_keyframe(1, 0, 4, 1, (6, 0, whole, -1))
    s.param(PATH, value=5)
    s.param(GUIDE, value=1)
    s.param(PERCENT, how=KEYFRAME, value=100, at=(1, 30))
    s.frame(at_clock=0, depth="32")
    s.param(PERCENT, how=UNKEY, value=0)
    s.param(PERCENT, how=KEYFRAME, value=0, at=(0, 1))
    s.frame(at_clock=0, depth="16", bake=True)
    return s


SEEDS = {
    "open-path-guide": open_path_guide,
    "closed-path-bake": closed_path_bake,
    "many-vertices": many_vertices,
    "faults": faults,
    "odd-values": odd_values,
    "lifecycle": lifecycle,
}

REGRESSIONS = {
    "nan-angle-read-as-fixed": nan_angle_read_as_fixed,
    "mask-overflowing-to-nan-length": mask_overflowing_to_nan_length,
    "keyframes-between-close-instants": close_instants,
}

if __name__ == "__main__":
    here = pathlib.Path(__file__).resolve().parent
    for folder, inputs in ((here / "corpus" / "module", SEEDS),
                           (here / "regressions" / "module", REGRESSIONS)):
        folder.mkdir(parents=True, exist_ok=True)
        for name, make in inputs.items():
            (folder / name).write_bytes(bytes(make().data))
            print(folder / name)
