#!/usr/bin/env python3
"""The storyboard's choice of frames, on a made-up clock: each text gets the screen as it stood
before the next text was seen, or a second after it appeared; a text between two polls gets none."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import storyboard  # noqa: E402

POLL = 0.03


def play(schedule, end, unreadable=()):
    """Polls every POLL s from 0 to `end`; `schedule` maps a poll's time (rounded to 10 ms) to the
    texts the record holds from then on. Each copy of the screen is labelled with its time."""
    picker = storyboard.FramePicker()
    texts = []
    grabbed = []
    steps = int(round(end / POLL))
    for step in range(steps + 1):
        now = round(step * POLL, 2)
        texts = schedule.get(now, texts)

        def grab(now=now):
            grabbed.append(now)
            return None if now in unreadable else now
        picker.observe(now, texts, grab)
    picker.finish(round(steps * POLL, 2) + POLL, texts)
    return [(text, copy) for _, text, copy in picker.frames], grabbed


A, B, C, D = (10, "a"), (400, "b"), (420, "c"), (3000, "d")


class FramePicker(unittest.TestCase):
    def test_each_text_gets_the_screen_before_the_next_one_was_seen(self):
        cases = [
            # (what, schedule, end, frames)
            ("the copy 50 ms or more before the next text was seen",
             {0.0: [A], 0.6: [A, B]}, 0.9, [("a", 0.54), ("b", 0.9)]),
            ("a text that stands longer: the copy a second after it appeared",
             {0.3: [A], 3.0: [A, D]}, 3.3, [("a", 1.29), ("d", 3.3)]),
            ("the next text at the very next poll: the text's only copy",
             {0.0: [A], 0.03: [A, B]}, 0.3, [("a", 0.0), ("b", 0.3)]),
            ("two texts seen in one poll: the first of them gets no picture",
             {0.0: [A], 0.6: [A, B, C]}, 0.9, [("a", 0.54), ("b", None), ("c", 0.9)]),
            ("a text first seen as the click ends: its one copy",
             {0.0: [A], 0.9: [A, B]}, 0.9, [("a", 0.84), ("b", 0.9)]),
        ]
        for what, schedule, end, expected in cases:
            with self.subTest(what):
                self.assertEqual(play(schedule, end)[0], expected)

    def test_no_copy_is_taken_before_the_first_text_or_after_a_text_has_stood_a_second(self):
        _, grabbed = play({0.3: [A]}, 2.0)
        self.assertEqual(grabbed[0], 0.3)
        self.assertEqual(grabbed[-1], 1.29)

    def test_an_unreadable_screen_leaves_the_last_readable_copy(self):
        frames, _ = play({0.0: [A], 0.6: [A, B]}, 0.9, unreadable={0.48, 0.51, 0.54, 0.57, 0.6})
        self.assertEqual(frames[0], ("a", 0.45))

    def test_a_record_that_never_shows_a_text_gives_no_frames(self):
        self.assertEqual(play({}, 0.3), ([], []))


class Record(unittest.TestCase):
    def test_only_texts_are_read_with_their_line_breaks_flattened(self):
        import tempfile
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "click.txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write("0 command x\n132 start 368\n1917 text 正在初始化…\n"
                        "2822 text 已安装。\\r\\n返回大厅\n5863 gone \n")
            self.assertEqual(storyboard.read_record(path), [(1917, "正在初始化…"), (2822, "已安装。 返回大厅")])
            self.assertEqual(storyboard.read_record(os.path.join(folder, "missing.txt")), [])


if __name__ == "__main__":
    unittest.main()
