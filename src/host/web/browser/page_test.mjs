// The page of qts serve in a real browser (Debian's Chromium through puppeteer-core): a sample
// book is made, served on a free loopback port, and a person's work is done through the page
// -- the whole write-off road (a new document, its header, rows and a merge, posting on save,
// pricing with its message box, saving, printing the act as PDF); the progress bar of a long
// pricing seen moving in the page; the finished-goods receipt
// road (rows priced by price or by sum through the calculator, a save refused in a message
// box, posting on save, the act as HTML and PDF); and every report of the page's list run
// with its default choices, one sorted, and downloaded as CSV, XLSX and PDF. What the page
// shows is checked against the book, read back through qts.
//
//   node page_test.mjs QTS [--screenshots DIR]
//
// Exits 0 when every step went as a person would expect, 1 naming the step that did not.
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const args = process.argv.slice(2);
const qts = args[0];
const shotsAt = args.indexOf('--screenshots');
const screenshots = shotsAt >= 0 ? args[shotsAt + 1] : null;
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

function fail(message) {
  console.error('page test: ' + message);
  process.exitCode = 1;
  throw new Error(message);
}
function check(condition, message) {
  if (!condition) fail(message);
  console.log('ok   ' + message);
}

if (!qts || !fs.existsSync(qts)) {
  console.error('usage: node page_test.mjs QTS [--screenshots DIR]');
  process.exit(1);
}
if (!fs.existsSync(chromium)) {
  console.error(`page test: no Chromium at ${chromium} (scripts/install-deps installs it)`);
  process.exit(1);
}
let puppeteer;
try {
  puppeteer = (await import('puppeteer-core')).default;
} catch (e) {
  console.error('page test: puppeteer-core is not installed (scripts/install-deps installs it)');
  process.exit(1);
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qts-page-test-'));
const downloads = path.join(dir, 'downloads');
fs.mkdirSync(downloads);
const env = { ...process.env, QTS_REGISTRY: path.join(dir, 'registry.json'), QTS_SETTINGS: path.join(dir, 'settings.json') };
const book = path.join(dir, 'sample.db');
execFileSync(qts, ['book', 'create', book, '--code', 'UAB', '--sample', 'small', '--seed', '1'], { env, stdio: 'ignore' });

// A posted write-off of every good store GS has free, made through its dialog on the command
// line: its pricing is watched in the page.
const freeInGS = execFileSync(qts, ['sql', 'run', '--book', book, '--format', 'csv'], {
  env,
  input: 'SELECT n.GoodCode FROM THGoodSpecNotFixed n INNER JOIN THGoodSpec s ON s.IDC = n.IDC ' +
    'INNER JOIN THDocument d ON d.IDC = s.DocID INNER JOIN REFGood g ON g.Code = n.GoodCode ' +
    "WHERE d.StoreCode = 'GS' AND COALESCE(g.TrackingKind, 0) = 0 GROUP BY n.GoodCode " +
    'HAVING SUM(n.AmountAccount) >= 1 ORDER BY n.GoodCode',
}).toString().trim().split(/\r?\n/).slice(1);
const largeWriteOff = execFileSync(qts, ['dialog', 'MMO', '--book', book, '--new', '--set', 'edDate=2026-12-31',
  '--set', 'cbDepartment=GAM', '--set', 'cbStore=GS', '--set', 'edName=Metinis nurašymas', '--set', 'cbAccPerson=P004',
  ...freeInGS.flatMap((good) => ['--cell', `new:GoodCode=${good}`, '--cell', 'new:Amount=0,5']), '--save', '--post'], { env })
  .toString().match(/\(IDC (\d+)\)/)[1];

// Each step of a step process waits a little, so that its progress stays on the page long
// enough to be seen moving (the pricing of the large write-off takes a few hundredths of a
// second without it).
const kStepPauseMs = 25;
const server = spawn(qts, ['serve', '--book', book, '--listen', '127.0.0.1:0', '--step-pause', String(kStepPauseMs)],
  { env, stdio: ['ignore', 'pipe', 'inherit'] });
const url = await new Promise((resolve, reject) => {
  let out = '';
  const timer = setTimeout(() => reject(new Error('qts serve printed no address')), 20000);
  server.stdout.on('data', (chunk) => {
    out += chunk;
    const found = out.match(/ on (http:\/\/\S+)/);
    if (found) { clearTimeout(timer); resolve(found[1]); }
  });
  server.on('exit', (code) => reject(new Error('qts serve ended with ' + code)));
});

const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--window-size=1400,1000'],
  defaultViewport: { width: 1400, height: 1000 },
});

// The next download: the folder is emptied before each, so the file found is the new one.
function clearDownloads() {
  for (const f of fs.readdirSync(downloads)) fs.rmSync(path.join(downloads, f), { force: true });
}
async function waitForFile(pattern, timeout = 30000) {
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    const found = fs.readdirSync(downloads).find((f) => pattern.test(f) && !f.endsWith('.crdownload'));
    if (found) return path.join(downloads, found);
    await new Promise((r) => setTimeout(r, 100));
  }
  fail('no download matching ' + pattern);
}
const startsWith = (file, bytes) => fs.readFileSync(file).subarray(0, bytes.length).equals(Buffer.from(bytes, 'binary'));
const bookDoc = (idc) => JSON.parse(execFileSync(qts, ['doc', 'show', String(idc), '--book', book, '--json'], { env }).toString());
const bookList = (type) => execFileSync(qts, ['doc', 'list', '--book', book, '--type', type], { env }).toString().trim().split('\n');

let page;
try {
  page = await browser.newPage();
  page.setDefaultTimeout(30000);
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });

  // An action of the dialog: do it, then wait for the server's answer and the page redrawn.
  const action = async (doIt) => {
    const answered = page.waitForResponse((r) => /\/api\/dialogs(\/\d+\/(action|answer))?$/.test(new URL(r.url()).pathname) && r.request().method() === 'POST');
    await doIt();
    const response = await answered;
    await page.waitForNetworkIdle({ idleTime: 150 });
    return response.json();
  };
  const setControl = (name, value) => action(() => page.$eval(`[data-control="${name}"]`, (input, v) => {
    if (input.type === 'checkbox') input.checked = v === '1'; else input.value = v;
    input.dispatchEvent(new Event('change', { bubbles: true }));
  }, value));
  const newCell = (column, value) => action(() => page.$eval(`input[data-row="new"][data-column="${column}"]`, (input, v) => {
    input.value = v;
    input.dispatchEvent(new Event('change', { bubbles: true }));
  }, value));
  const column = (key) => page.$$eval('#grid thead th', (ths, k) => ths.findIndex((th) => th.title === k), key)
    .then((index) => page.$$eval('#grid tbody tr:not(.new-row)', (trs, i) => trs.map((tr) => {
      const cell = tr.children[i];
      const input = cell && cell.querySelector('input');
      return input ? input.value : cell ? cell.textContent : '';
    }), index));

  // ---- The document list ----
  await page.goto(url, { waitUntil: 'networkidle0' });
  await page.waitForSelector('#documents tbody tr');
  await page.select('#doc-type', 'MMO');
  // The list of the type first shown is replaced once the write-offs have come.
  await page.waitForFunction(() => location.hash === '#docs/MMO' &&
    [...document.querySelectorAll('#documents tbody tr td:nth-child(2)')].some((td) => td.textContent === 'MMO'));
  const listed = await page.$$eval('#documents tbody tr td:nth-child(2)', (tds) => tds.map((td) => td.textContent));
  check(listed.length > 0 && listed.every((t) => t === 'MMO'), `the list shows write-offs only (${listed.length} rows)`);

  // ---- The write-off road ----
  const opened = await action(() => page.click('#new-doc'));
  await page.waitForSelector('section.dialog[data-form="frmMMO"]');
  check(opened.view.form === 'frmMMO', 'a new write-off opens in frmMMO');
  for (const [name, value] of [['edDate', '2026-12-31'], ['cbDepartment', 'GAM'], ['cbStore', 'GS'], ['cbAccPerson', 'P004']]) {
    const answer = await setControl(name, value);
    if (answer.outcome !== 'done') fail(`setting ${name}: ${JSON.stringify(answer.errors)}`);
  }
  const markup = '<img src=x onerror="window.__xss=1">';
  await setControl('edName', markup);
  check(await page.$eval('[data-control="edName"]', (i) => i.value) === markup && await page.evaluate(() => window.__xss === undefined),
    'a name that looks like markup stays text');
  await setControl('edName', 'Sugadintos medžiagos');
  for (const [name, value] of [['cbMember_Head', 'P007'], ['cbMember1', 'P012'], ['cbMember2', 'P015'], ['cbMember3', 'P011']]) {
    const answer = await setControl(name, value);
    if (answer.outcome !== 'done') fail(`setting ${name}: ${JSON.stringify(answer.errors)}`);
  }
  const shown = await page.$eval('[data-control="cbDepartment"]', (i) => i.parentElement.querySelector('.shown').textContent);
  check(shown.length > 0, `the department combo shows its name ("${shown}")`);

  await newCell('GoodCode', 'MED00001');
  await newCell('Amount', '1');
  await newCell('GoodCode', 'MED00002');
  await newCell('Amount', '2');
  await newCell('GoodCode', 'MED00001');
  await newCell('Amount', '0,5');
  check(JSON.stringify(await column('GoodCode')) === '["MED00001","MED00002"]', 'two rows: the same good again merged into its row');
  check(JSON.stringify(await column('Amount')) === '["1,500","2,000"]', 'the merged row holds 1,500');
  if (screenshots) await page.screenshot({ path: path.join(screenshots, 'web-write-off.png'), fullPage: true });

  await setControl('chCarry', '1');
  const saved = await action(() => page.click('#save'));
  check(saved.written && saved.idc > 0, `saving writes the document (IDC ${saved.idc})`);
  check((await page.$eval('#status', (s) => s.textContent)).includes('patvirtintas'), 'it was posted on saving');
  check(await page.$eval('[data-control="edNumb"]', (i) => i.disabled), 'the posted document locks its number');

  const priced = await action(() => page.click('#b-btSetPriceOff'));
  await page.waitForSelector('#modal:not([hidden]) .message');
  const message = await page.$eval('#modal .message', (p) => p.textContent);
  check(priced.notices.length === 1 && message === 'Kainos apskaičiuotos.', `pricing says so in a message box ("${message}")`);
  if (screenshots) await page.screenshot({ path: path.join(screenshots, 'web-message.png') });
  await page.click('#modal button.primary');
  await page.waitForSelector('#modal', { hidden: true });
  const resaved = await action(() => page.click('#save'));
  check(resaved.written && resaved.unsaved === 0, 'the prices are saved');
  const prices = await column('AddFld.WriteOffPrice');
  check(prices.length === 2 && prices.every((p) => parseFloat(p.replace(',', '.')) > 0), `the rows have prices (${prices.join(', ')})`);

  await page.select('#print-form', 'CRepWriteOff');
  await page.select('#print-format', 'pdf');
  clearDownloads();
  await action(() => page.click('#print'));
  const pdf = await waitForFile(/\.pdf$/);
  check(startsWith(pdf, '%PDF-'), 'the act downloads as a PDF');

  const stored = bookDoc(saved.idc);
  check(stored.fields.IsPosted === 1 && stored.rows.length === 2, 'the book holds the posted write-off with its two rows');
  check(stored.rows[0].Amount === 1.5 && stored.rows[1].Amount === 2 && stored.rows.every((r) => r.Price > 0),
    'amounts 1.5 and 2, priced from cost');

  // ---- The progress of a long pricing ----
  // Every state the progress window passes through is recorded in the page as it is drawn.
  await page.goto(url + `#dialog/MMO/${largeWriteOff}`, { waitUntil: 'networkidle0' });
  await page.waitForSelector('section.dialog[data-form="frmMMO"] #grid tbody tr');
  const largeRows = (await column('GoodCode')).length;
  check(largeRows === freeInGS.length && largeRows >= 40, `the large write-off opens with its ${largeRows} rows`);
  await page.evaluate(() => {
    window.__progress = [];
    const box = document.getElementById('progress');
    const note = () => window.__progress.push({
      shown: !box.hidden,
      count: document.getElementById('progress-count').textContent,
      width: document.getElementById('progress-fill').style.width,
    });
    new MutationObserver(note).observe(box, { attributes: true, childList: true, characterData: true, subtree: true });
  });
  const largePriced = await action(() => page.click('#b-btSetPriceOff'));
  await page.waitForSelector('#modal:not([hidden]) .message');
  const seen = await page.evaluate(() => window.__progress);
  const partial = [...new Set(seen.filter((s) => s.shown).map((s) => s.count))]
    .map((text) => text.match(/^(\d+) iš (\d+)$/)).filter(Boolean)
    .map((m) => [Number(m[1]), Number(m[2])]).filter(([done, count]) => done < count);
  const steps = partial.length ? partial[0][1] : 0;
  const widths = [...new Set(seen.filter((s) => s.shown).map((s) => s.width))].filter((w) => parseFloat(w) < 100);
  check(largePriced.notices.length === 1 && partial.length >= 2 && widths.length >= 2 &&
    partial.every(([done, count], i) => count === steps && (i === 0 || done > partial[i - 1][0])),
    `while pricing, the progress bar moved through ${partial.map(([d, c]) => d + ' of ' + c).join(', ')} (${widths.join(', ')})`);
  check(await page.$eval('#progress', (p) => p.hidden), 'the progress window is closed when pricing ends');
  await page.click('#modal button.primary');
  await page.waitForSelector('#modal', { hidden: true });
  await action(() => page.click('#save'));
  const largeStored = bookDoc(largeWriteOff).rows;
  check(largeStored.filter((r) => r.Price > 0).length === steps, `the book holds the ${steps} priced rows`);

  // ---- The finished-goods receipt road ----
  const receiptsBefore = bookList('MFC').length;
  await page.goto(url + '#docs/MFC', { waitUntil: 'networkidle0' });
  await page.waitForFunction(() => [...document.querySelectorAll('#documents tbody tr td:nth-child(2)')].some((td) => td.textContent === 'MFC'));
  const receipts = await page.$$eval('#documents tbody tr td:nth-child(2)', (tds) => tds.map((td) => td.textContent));
  check(receipts.every((t) => t === 'MFC'), `the list shows receipts only (${receipts.length} rows)`);
  const receipt = await action(() => page.click('#new-doc'));
  await page.waitForSelector('section.dialog[data-form="frmMFC"]');
  check(receipt.view.form === 'frmMFC' && await page.$eval('section.dialog h1', (h) => h.textContent) === 'Pagamintos produkcijos priėmimas',
    'a new receipt opens in frmMFC under its caption');
  const productCaption = await page.$eval('#grid thead th[title="GoodCode"]', (th) => th.textContent);
  check(productCaption === 'Gaminys', `the grid names its goods column as products ("${productCaption}")`);
  // The department is left out at first, as a hurried person would.
  for (const [name, value] of [['edDate', '2026-12-31'], ['cbStore', 'CS'], ['cbPerson', 'P004'], ['cbKontrolerius', 'P012']]) {
    const answer = await setControl(name, value);
    if (answer.outcome !== 'done') fail(`setting ${name}: ${JSON.stringify(answer.errors)}`);
  }
  await setControl('edName', 'Gaminių partija');
  const receiver = await page.$eval('[data-control="cbPerson"]', (i) => i.parentElement.querySelector('.shown').textContent);
  check(receiver.length > 0, `the receiver's combo shows the person ("${receiver}")`);

  // Two products: the first priced by its price, the second by its sum (the calculator finds
  // the price).
  await newCell('GoodCode', 'GAM00044');
  await newCell('Amount', '3');
  await action(() => page.$eval('input[data-row="1"][data-column="Price"]', (input) => {
    input.value = '120';
    input.dispatchEvent(new Event('change', { bubbles: true }));
  }));
  await newCell('GoodCode', 'GAM00003');
  await newCell('Amount', '10');
  await action(() => page.$eval('input[data-row="2"][data-column="Summa"]', (input) => {
    input.value = '315';
    input.dispatchEvent(new Event('change', { bubbles: true }));
  }));
  check(JSON.stringify(await column('GoodCode')) === '["GAM00044","GAM00003"]', 'the receipt has its two products');
  check(JSON.stringify(await column('Summa')) === '["360,00","315,00"]', 'the first row is summed from its price (3 × 120 = 360,00)');
  check(JSON.stringify(await column('Price')) === '["120,0000","31,5000"]', 'the second row is priced from its sum (315 / 10 = 31,5000)');
  const totals = await page.$$eval('#grid tfoot td', (tds) => tds.map((td) => td.textContent));
  check(totals.includes('675,00'), 'the grid totals the sums (675,00)');

  await setControl('chCarry', '1');
  const refused = await action(() => page.click('#save'));
  await page.waitForSelector('#modal:not([hidden]) .message');
  const refusal = await page.$eval('#modal .message', (p) => p.textContent);
  check(refused.outcome === 'refused' && !refused.written && refusal === 'Nepasirinktas padalinys.',
    `saving without a department is refused in a message box ("${refusal}")`);
  await page.click('#modal button.primary');
  await page.waitForSelector('#modal', { hidden: true });
  check(bookList('MFC').length === receiptsBefore, 'the refused save wrote nothing');
  const unsavedStatus = await page.$eval('#status', (s) => s.textContent);
  check(unsavedStatus.endsWith('nepatvirtintas, neišsaugota') && JSON.stringify(await column('Summa')) === '["360,00","315,00"]',
    `the page still holds the unsaved receipt with its rows ("${unsavedStatus}")`);

  await setControl('cbDepartment', 'GAM');
  const received = await action(() => page.click('#save'));
  check(received.written && received.idc > 0, `then saving writes the receipt (IDC ${received.idc})`);
  check((await page.$eval('#status', (s) => s.textContent)).includes('patvirtintas'), 'it was posted on saving');
  const locks = await page.$$eval('[data-control]', (inputs) => Object.fromEntries(inputs.map((i) => [i.dataset.control, i.disabled])));
  check(['edNumb', 'edDate', 'cbDepartment', 'cbStore', 'cbPerson', 'cbKontrolerius'].every((c) => locks[c]) && !locks.edName,
    'the posted receipt locks number, date, department, store and both persons, not its name');
  if (screenshots) await page.screenshot({ path: path.join(screenshots, 'web-receipt.png'), fullPage: true });

  const stock = bookDoc(received.idc);
  check(stock.fields.IsPosted === 1 && stock.fields.Department === 'GAM' && stock.fields.StoreCode === 'CS' &&
    stock.fields.Gavejas === 'P004' && stock.fields.Kontrolerius === 'P012' && stock.fields.Name === 'Gaminių partija',
    'the book holds the posted receipt with its header and both persons');
  check(JSON.stringify(stock.rows.map((r) => [r.GoodCode, r.Amount, r.Price, r.Summa])) ===
    '[["GAM00044",3,120,360],["GAM00003",10,31.5,315]]', 'and its rows as the page showed them');

  const printMenu = await page.$$eval('#print-form option', (options) => options.map((o) => o.textContent));
  check(JSON.stringify(printMenu) === '["Pagamintos produkcijos priėmimo aktas"]', `the print menu names the act ("${printMenu}")`);
  await page.select('#print-form', 'CRepMFC');
  await page.select('#print-format', 'html');
  clearDownloads();
  await action(() => page.click('#print'));
  const act = fs.readFileSync(await waitForFile(/\.html?$/), 'utf8');
  const actNumber = stock.fields.Number;
  check(act.includes(actNumber) && act.includes('Lentyna mažas') && act.includes('Spinta ąžuolinis') && act.includes('675,00'),
    `the receipt's act prints as HTML with its number ${actNumber}, both products and the sum`);
  await page.select('#print-format', 'pdf');
  clearDownloads();
  await action(() => page.click('#print'));
  check(startsWith(await waitForFile(/\.pdf$/), '%PDF-'), "the receipt's act downloads as a PDF");
  check((await page.$eval('#status', (s) => s.textContent)).includes('patvirtintas') && bookDoc(received.idc).rows.length === 2,
    'printing left the receipt as it was');

  // ---- Reports ----
  await page.goto(url + '#reports', { waitUntil: 'networkidle0' });
  await page.waitForSelector('#reports tr[data-report="CRepStoreRestByTerm"]');
  const reports = await page.$$eval('#reports tr[data-report]', (trs) => trs.map((tr) => [tr.dataset.report, tr.children[0].textContent]));
  check(reports.length > 0 && reports.every(([, title]) => title.length > 0), `the page lists ${reports.length} reports by title`);
  await page.click('#reports tr[data-report="CRepStoreRestByTerm"]');
  await page.waitForSelector('#report-form input[name="edDayAmount"]');
  await page.$eval('#report-form input[name="edDayAmount"]', (i) => { i.value = '60'; });
  await page.click('#run-report');
  await page.waitForSelector('table.result tbody tr');
  const codes = () => page.$$eval('table.result tbody tr.detail td:first-child', (tds) => tds.map((td) => td.textContent));
  const before = await codes();
  check(before.length > 0, `the report shows its table (${before.length} rows)`);
  await page.click('table.result th.sortable');
  await page.click('table.result th.sortable');
  const after = await codes();
  const descending = [...before].sort().reverse();
  check(JSON.stringify(after) === JSON.stringify(descending), 'a click on a column header sorts the table');
  if (screenshots) await page.screenshot({ path: path.join(screenshots, 'web-report.png') });
  for (const [format, first] of [['csv', 'GoodCode,'], ['xlsx', 'PK\x03\x04'], ['pdf', '%PDF-']]) {
    clearDownloads();
    await page.click('#download-' + format);
    check(startsWith(await waitForFile(new RegExp(`\\.${format}$`)), first), `the report downloads as ${format.toUpperCase()}`);
  }

  // Every report of the list, run with the choices its form offers: a table or the text that
  // says there is nothing to show, and no error.
  const modalText = () => page.evaluate(() => (document.getElementById('modal').hidden ? '' : document.getElementById('modal').innerText));
  for (const [name, title] of reports) {
    await page.evaluate((n) => { location.hash = '#report/' + n; }, name);
    await page.waitForFunction((t) => document.querySelector('#run-report') && document.querySelector('section.report h1').textContent === t, {}, title);
    const asked = await modalText();
    if (asked) fail(`${name}: its form shows "${asked}"`);
    await page.click('#run-report');
    await page.waitForFunction(() => document.querySelector('#report-result h2') || !document.getElementById('modal').hidden);
    const shownError = await modalText();
    if (shownError) fail(`${name}: running it shows "${shownError}"`);
    const drawn = await page.$eval('#report-result', (out) => ({
      tables: out.querySelectorAll('table.result').length,
      rows: out.querySelectorAll('table.result tbody tr').length,
      empty: out.querySelector('p.muted') ? out.querySelector('p.muted').textContent : '',
    }));
    check(drawn.tables > 0 && (drawn.rows > 0 || drawn.empty.length > 0),
      `${name} ("${title}") draws ${drawn.rows > 0 ? drawn.rows + ' table rows' : 'the empty result: ' + drawn.empty}`);
  }
  check(errors.length === 0, 'the page raised no script errors' + (errors.length ? ': ' + errors.join('; ') : ''));
} catch (e) {
  // What the page showed when a step failed, for the person reading the test's output.
  if (page) {
    const shown = await page.evaluate(() => document.getElementById('modal').hidden ? '' : document.getElementById('modal').innerText).catch(() => '');
    if (shown) console.error('page test: the page shows: ' + shown);
  }
  if (!process.exitCode) {
    console.error('page test: ' + e.message);
    process.exitCode = 1;
  }
} finally {
  await browser.close();
  server.kill('SIGTERM');
  await new Promise((r) => server.once('exit', r));
  fs.rmSync(dir, { recursive: true, force: true });
}
