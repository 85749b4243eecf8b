// Report pages in Debian's chromium, clicked as a reader clicks them: every picture loads,
// every entry of the contents list leads to its section, and the flip comparator shows the
// two pictures chosen by their labels, one in place of the other at each click on it.
// Usage: node flip.mjs PAGE:GROUP_A:GROUP_B... [SHOTS_DIR]
//   PAGE is an index.html; GROUP_A and GROUP_B name the runs the two pictures are chosen
//   from on a comparison page (empty on a run's own page). Screenshots go to SHOTS_DIR.
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const failures = [];
function expect(ok, what) {
    console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`);
    if (!ok) failures.push(what);
}

// The src of each picture of the comparator that is drawn now.
const shown = page => page.$$eval('.flip-stage img', images =>
    images.filter(i => i.offsetParent !== null).map(i => i.getAttribute('src')));

// Clicks the label reading `text` in a row of choices (0 spot, 1 A, 2 B), within the run
// `group` where the row is grouped by run; returns the label's computed background after.
async function choose(page, row, group, text) {
    const id = await page.evaluate((row, group, text) => {
        let inGroup = group === '';
        for (const node of document.querySelectorAll('.flip-controls p')[row].children) {
            if (node.classList.contains('flip-group')) inGroup = node.textContent === group + ':';
            else if (inGroup && node.tagName === 'LABEL' && node.textContent === text) return node.htmlFor;
        }
        return null;
    }, row, group, text);
    if (!id) throw new Error(`no label "${text}" in row ${row} of ${group || 'the page'}`);
    await page.click(`label[for="${id}"]`);
    return page.$eval(`label[for="${id}"]`, l => getComputedStyle(l).backgroundColor);
}

// The one picture drawn, as the screen shows it.
async function picture(page) {
    const visible = [];
    for (const i of await page.$$('.flip-stage img')) if (await i.isVisible()) visible.push(i);
    return visible.length === 1 ? Buffer.from(await visible[0].screenshot()) : Buffer.alloc(0);
}

async function checkPage(browser, spec, shots) {
    const [file, groupA = '', groupB = ''] = spec.split(':');
    const name = path.basename(path.dirname(file));
    const page = await browser.newPage();
    await page.setViewport({width: 1400, height: 1100});
    await page.goto('file://' + path.resolve(file), {waitUntil: 'load'});
    const images = await page.evaluate(async () => {
        await Promise.all([...document.images].map(i => i.decode().catch(() => {})));
        return [...document.images].map(i => ({src: i.getAttribute('src'), width: i.naturalWidth}));
    });
    const broken = images.filter(i => i.width === 0).map(i => i.src);
    expect(images.length > 0 && broken.length === 0, `${name}: ${images.length} images, all loaded ${broken.join(' ')}`);

    // Each entry of the contents list: its section exists, and a click on it brings it to the top.
    const entries = await page.$$eval('nav#contents a', links => links.map(a => a.getAttribute('href')));
    const sections = await page.$$eval('body > section[id]', all => all.map(s => '#' + s.id));
    expect(entries.length > 3 && JSON.stringify(entries) === JSON.stringify(sections),
           `${name}: the contents list links each of its ${sections.length} sections, in order`);
    const flip = await page.$eval('.flip', f => '#' + f.closest('section').id);
    await page.click(`nav#contents a[href="${flip}"]`);
    const top = await page.$eval(flip, s => s.getBoundingClientRect().top);
    expect(entries.includes(flip) && Math.abs(top) < 2, `${name}: a click on "${flip}" brings it to the top (${top.toFixed(1)} px)`);

    // The pictures of the two choices, then the flip between them.
    const stage = await page.$('.flip-stage');
    await stage.scrollIntoView();
    const start = await shown(page);
    expect(start.length === 1, `${name}: the comparator opens showing one picture (${start.join(' ')})`);
    const spotMark = await choose(page, 0, '', 'caption');
    await choose(page, 1, groupA, 'reference');
    const markB = await choose(page, 2, groupB, 'ssaa-4x4');
    const idle = await page.$eval('.flip-controls p:nth-child(2) label:not([for$="-a0"])', l => getComputedStyle(l).backgroundColor);
    expect(spotMark === markB && markB !== idle, `${name}: the chosen labels are marked (${markB}, others ${idle})`);
    const a = await shown(page);
    const pictureA = await picture(page);
    if (shots) await page.screenshot({path: path.join(shots, `${name}-flip-a.png`)});
    await stage.click();
    const b = await shown(page);
    const pictureB = await picture(page);
    if (shots) await page.screenshot({path: path.join(shots, `${name}-flip-b.png`)});
    await stage.click();
    const back = await shown(page);
    const pictureBack = await picture(page);
    const reads = (s, ...words) => s.length === 1 && words.every(w => s[0].includes(w));
    expect(reads(a, 'reference', 'caption'), `${name}: A is the reference at the caption (${a.join(' ')})`);
    expect(reads(b, 'ssaa-4x4', 'caption'), `${name}: a click shows B, ssaa-4x4 at the caption (${b.join(' ')})`);
    expect(pictureA.length > 0 && pictureB.length > 0 && !pictureA.equals(pictureB),
           `${name}: the screen shows another picture after the click`);
    expect(back.join() === a.join() && pictureBack.equals(pictureA), `${name}: the next click shows A again, as before`);
    if (shots) {
        await page.evaluate(() => window.scrollTo(0, 0));
        await page.screenshot({path: path.join(shots, `${name}-top.png`)});
    }
    await page.close();
}

const args = process.argv.slice(2);
const shots = args.length > 1 && !args[args.length - 1].includes('index.html') ? args.pop() : '';
if (shots) fs.mkdirSync(shots, {recursive: true});
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
});
try {
    for (const spec of args) await checkPage(browser, spec, shots);
} catch (e) {
    failures.push(String(e));
    console.log('FAILED: ' + e);
} finally {
    await browser.close();
}
console.log(failures.length ? `${failures.length} checks failed` : 'ok: every page');
process.exit(failures.length ? 1 : 0);
