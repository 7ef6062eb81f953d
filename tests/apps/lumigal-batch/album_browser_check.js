// Opens an album page in headless Chromium and prints what a visitor gets,
// as JSON: for every image whether it loads (natural width > 0), whether
// every image link answers, whether the page scrolls sideways at 390 and
// 1366 px, and whether the viewer opens, moves and closes. Screenshots of
// the page at both widths are written when a prefix is given.
//
// usage: node album_browser_check.js CHECKERS_DIR URL [SCREENSHOT_PREFIX]
'use strict';
const path = require('path');
const puppeteer = require(path.join(process.argv[2], 'node_modules', 'puppeteer-core'));
const url = process.argv[3];
const shots = process.argv[4];

(async () => {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--allow-file-access-from-files'],
  });
  const result = { widths: {} };
  try {
    const page = await browser.newPage();
    for (const width of [390, 1366]) {
      await page.setViewport({ width, height: 844 });
      await page.goto(url, { waitUntil: 'load' });
      // Lazy images load as they come into view: every one is asked for now.
      const images = await page.evaluate(async () => {
        const imgs = [...document.querySelectorAll('img')];
        imgs.forEach((i) => { i.loading = 'eager'; });
        await Promise.all(imgs.map((i) => i.complete ? null :
          new Promise((r) => { i.onload = i.onerror = r; })));
        return imgs.map((i) => ({ src: i.getAttribute('src'), natural: i.naturalWidth }));
      });
      const links = await page.evaluate(async () => {
        const out = [];
        for (const a of document.querySelectorAll('a.v')) {
          let ok = false;
          try { ok = (await fetch(a.href)).ok; } catch (e) { ok = false; }
          out.push({ href: a.getAttribute('href'), ok });
        }
        return out;
      });
      const scroll = await page.evaluate(() =>
        document.documentElement.scrollWidth - document.documentElement.clientWidth);
      result.widths[width] = { images, links, sidewaysScroll: scroll };
      if (shots) {
        await page.evaluate(() => window.scrollTo(0, 0));
        await page.screenshot({ path: `${shots}-${width}.png`, fullPage: width === 390 ? false : true });
      }
    }
    // The viewer: a click shows the image large, the arrows move, Escape closes.
    await page.setViewport({ width: 1366, height: 844 });
    await page.goto(url, { waitUntil: 'load' });
    const links = await page.$$('a.v');
    const viewer = { links: links.length };
    if (links.length >= 2) {
      await links[0].click();
      const state = () => page.evaluate(() => {
        const o = document.querySelector('.ov');
        return o ? { open: !o.hidden, src: o.querySelector('img').src } : { open: false, src: '' };
      });
      viewer.afterClick = await state();
      viewer.firstHref = await page.evaluate(() => document.querySelectorAll('a.v')[0].href);
      viewer.secondHref = await page.evaluate(() => document.querySelectorAll('a.v')[1].href);
      await page.keyboard.press('ArrowRight');
      viewer.afterRight = await state();
      await page.keyboard.press('ArrowLeft');
      viewer.afterLeft = await state();
      if (shots) await page.screenshot({ path: `${shots}-viewer.png` });
      await page.keyboard.press('Escape');
      viewer.afterEscape = await state();
    }
    result.viewer = viewer;
  } finally {
    await browser.close();
  }
  process.stdout.write(JSON.stringify(result));
})().catch((e) => { console.error(e); process.exit(1); });
