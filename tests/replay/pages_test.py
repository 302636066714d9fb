#!/usr/bin/env python3
"""How scripts/vornkit/pages.py makes a page of page.html and a page's own parts: each part
where page.html has its place, a part left out empty, the title as text, the template's
comment left out; a template with a part page.html has no place for, or with one part
twice, refused naming the file."""

import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "scripts"))
from vornkit import pages  # noqa: E402

OWN = ("<!-- the template's own comment -->\n<!--PART HEAD-->\n<style>#own {}</style>\n"
       "<!--PART SCRIPT-->\n<script>own()</script>\n")
# (template, the title, what the page must hold in this order, or the error's words)
CASES = [
    (OWN, "a <b> & c", ["<title>a &lt;b&gt; &amp; c</title>", ".dot {", "#own {}", "</head>",
                        '<span id="mode">-</span>\n</header>', 'id="legend"></p>\n<script>',
                        "function drawBall", "<script>own()</script>\n</body>"]),
    (OWN + "<!--PART FOOTER-->\nx\n", "t", "a part FOOTER that page.html has no place for"),
    (OWN + "<!--PART HEAD-->\nx\n", "t", "a part HEAD twice"),
]


class Pages(unittest.TestCase):
    def test_parts_in_place(self):
        with tempfile.TemporaryDirectory() as tmp:
            for n, (template, title, want) in enumerate(CASES):
                path = os.path.join(tmp, f"{n}.html")
                with open(path, "w", encoding="utf-8") as f:
                    f.write(template)
                with self.subTest(case=n):
                    if isinstance(want, str):
                        with self.assertRaisesRegex(ValueError, f"^{path}: {want}"):
                            pages.page(path, title)
                        continue
                    text = pages.page(path, title)
                    at = [text.find(w) for w in want]
                    self.assertEqual((min(at) >= 0 and at == sorted(at),
                                      "own comment" in text, pages.PLACE.search(text)),
                                     (True, False, None), dict(zip(want, at)))

if __name__ == "__main__":
    unittest.main()
