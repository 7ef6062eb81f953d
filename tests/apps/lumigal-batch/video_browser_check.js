// Opens a gallery album over HTTP in headless Chromium and, for every video
// tile, opens the viewer on it and plays it; prints as JSON what each gives.
//
// usage: node video_browser_check.js CHECKERS_DIR URL [SCREENSHOT]
// (the screenshot: the viewer on the first video)
'use strict';
const path = require('path');
const puppeteer = require(path.join(process.argv[2], 'node_modules', 'puppeteer-core'));
const url = process.argv[3];
const shot = process.argv[4];

(async () => {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--autoplay-policy=no-user-gesture-required'],
  });
  const result = { videos: [], errors: [] };
  try {
    const page = await browser.newPage();
    page.on('pageerror', (e) => result.errors.push(String(e)));
    await page.setViewport({ width: 1366, height: 844 });
    await page.goto(url, { waitUntil: 'load' });
    const ids = await page.evaluate(() =>
      [...document.querySelectorAll('a.v')].map((a) => ({ id: a.id, video: 'video' in a.dataset })));
    result.tiles = ids.length;
    for (const [n, tile] of ids.entries()) {
      if (!tile.video) continue;
      await page.click('[id="' + tile.id + '"]');
      const seen = await page.evaluate(async () => {
        const v = document.querySelector('.ov video');
        const img = document.querySelector('.ov img');
        const out = { hash: location.hash, shown: !!v && !v.hidden, imageHidden: img.hidden,
                      poster: v ? v.poster : '', src: v ? v.currentSrc || v.src : '',
                      note: document.querySelector('.ov .n').textContent };
        if (!v) return out;
        v.muted = true;
        const played = await Promise.race([
          v.play().then(() => new Promise((r) => {
            const t = () => (v.currentTime > 0.2 ? r(true) : setTimeout(t, 50)); t();
          }), () => false),
          new Promise((r) => setTimeout(() => r(false), 8000)),
        ]);
        out.played = played;
        out.error = v.error ? v.error.code : 0;
        out.width = v.videoWidth;
        return out;
      });
      seen.id = tile.id;
      if (shot && result.videos.length === 0) await page.screenshot({ path: shot });
      // Escape closes the viewer, and the video stops.
      await page.keyboard.press('Escape');
      seen.closed = await page.evaluate(() => document.querySelector('.ov').hidden &&
        document.querySelector('.ov video').paused);
      result.videos.push(seen);
    }
    // From the first video, the right arrow moves on to the next tile.
    const first = ids.findIndex((t) => t.video);
    if (first >= 0 && first + 1 < ids.length) {
      await page.click('[id="' + ids[first].id + '"]');
      await page.keyboard.press('ArrowRight');
      result.afterArrow = await page.evaluate(() => location.hash);
      result.expectedAfterArrow = '#' + ids[first + 1].id;
    }
  } finally {
    await browser.close();
  }
  process.stdout.write(JSON.stringify(result));
})().catch((e) => { console.error(e); process.exit(1); });
