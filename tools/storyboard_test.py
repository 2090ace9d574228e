#!/usr/bin/env python3
"""The storyboard's choice of frames, on a made-up clock: each text gets the screen as it stood
before the next text was seen, or a second after it appeared; a text between two polls gets none."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import storyboard  # noqa: E402

POLL = 0.02


def play(schedule, end, unreadable=()):
    """Polls every POLL s from 0 to `end`; `schedule` maps a poll's time (rounded to 10 ms) to the
    entries the record holds from then on. Each copy of the screen is labelled with its time."""
    picker = storyboard.FramePicker()
    entries = []
    grabbed = []
    steps = int(round(end / POLL))
    for step in range(steps + 1):
        now = round(step * POLL, 2)
        entries = schedule.get(now, entries)

        def grab(now=now):
            grabbed.append(now)
            return None if now in unreadable else now
        picker.observe(now, entries, grab)
    picker.finish(round(steps * POLL, 2) + POLL, entries)
    return [frame[1:] for frame in picker.frames], grabbed


A, B, C, D, GONE = (10, "a"), (400, "b"), (420, "c"), (3000, "d"), (450, None)


class FramePicker(unittest.TestCase):
    def test_each_text_gets_the_screen_before_the_next_entry_was_seen(self):
        cases = [
            # (what, schedule, end, frames as (text, copy, ms of the next entry))
            ("the last copy LAG_S before the next text was seen",
             {0.0: [A], 0.6: [A, B]}, 0.9, [("a", 0.56, 400), ("b", 0.9, None)]),
            ("a text that stands longer: the copy a second after it appeared",
             {0.3: [A], 3.0: [A, D]}, 3.3, [("a", 1.3, 3000), ("d", 3.3, None)]),
            ("the window's end ends its text; nothing is copied until the next text",
             {0.0: [A], 0.3: [A, GONE], 0.6: [A, GONE, B]}, 0.9, [("a", 0.26, 450), ("b", 0.9, None)]),
            ("the next entry at the very next poll: no picture rather than one of the next text",
             {0.0: [A], 0.02: [A, B]}, 0.3, [("a", None, 400), ("b", 0.3, None)]),
            ("entries seen in one poll: the texts among them get no picture, the window's end no frame",
             {0.0: [A], 0.6: [A, B, GONE, C]}, 0.9, [("a", 0.56, 400), ("b", None, 450), ("c", 0.9, None)]),
            ("a text first seen as the click ends: its one copy",
             {0.0: [A], 0.9: [A, B]}, 0.9, [("a", 0.86, 400), ("b", 0.9, None)]),
        ]
        for what, schedule, end, expected in cases:
            with self.subTest(what):
                self.assertEqual(play(schedule, end)[0], expected)

    def test_copies_are_taken_only_while_a_text_is_newest_and_for_a_second_at_most(self):
        _, grabbed = play({0.3: [A]}, 2.0)
        self.assertEqual((grabbed[0], grabbed[-1]), (0.3, 1.3))
        _, grabbed = play({0.0: [A], 0.3: [A, GONE]}, 0.9)
        self.assertEqual(grabbed[-1], 0.28)

    def test_a_copy_that_is_the_screen_of_the_next_frame_is_dropped(self):
        # The record noted "a" late: the screen already showed "b" for the whole of a's interval.
        picker = storyboard.FramePicker()
        for step, (entries, screen) in enumerate([([A], "b"), ([A], "b"), ([A, B], "b"), ([A, B], "b"),
                                                  ([A, B, C], "c")]):
            picker.observe(step * 0.1, entries, lambda screen=screen: screen)
        picker.finish(0.5, [A, B, C])
        self.assertEqual([frame[1:3] for frame in picker.frames], [("a", None), ("b", "b"), ("c", "c")])

    def test_an_unreadable_screen_leaves_the_last_readable_copy(self):
        frames, _ = play({0.0: [A], 0.6: [A, B]}, 0.9, unreadable={0.5, 0.52, 0.54, 0.56, 0.58, 0.6})
        self.assertEqual(frames[0], ("a", 0.48, 400))

    def test_a_record_that_never_shows_a_text_gives_no_frames(self):
        self.assertEqual(play({}, 0.3), ([], []))


class Record(unittest.TestCase):
    def test_texts_and_window_ends_are_read_with_line_breaks_flattened(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "click.txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write("0 command x\n132 start 368\n1917 text 正在初始化…\n"
                        "2822 text 已安装。\\r\\n返回大厅\n5863 gone \n5879 exit 368 0\n")
            self.assertEqual(storyboard.read_record(path),
                             [(1917, "正在初始化…"), (2822, "已安装。 返回大厅"), (5863, None)])
            self.assertEqual(storyboard.read_record(os.path.join(folder, "missing.txt")), [])


if __name__ == "__main__":
    unittest.main()
