// The page of qts serve. Everything it shows is drawn from what the server describes: a
// document's dialog from its form model (controls, grid, buttons), a report's parameter form
// from its description and its result from its print layout. Texts from the server are put in
// as text, never as markup.
'use strict';

const state = { csrf: '', types: [], dialog: null, newRow: {}, docs: null };
const main = () => document.getElementById('main');

// ---- Small helpers ----

function el(tag, props, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props || {})) {
    if (value === undefined || value === null || value === false) continue;
    if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
    else if (key === 'text') node.textContent = value;
    else if (key === 'class') node.className = value;
    else if (key in node && typeof value !== 'string') node[key] = value;
    else node.setAttribute(key, value === true ? '' : value);
  }
  for (const child of children.flat()) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return node;
}

class ApiError extends Error {
  constructor(error, status) {
    super(error.description || 'klaida');
    this.error = error;
    this.status = status;
  }
}

async function api(method, path, body) {
  const options = { method, credentials: 'same-origin', headers: {} };
  if (method !== 'GET') {
    options.headers['Content-Type'] = 'application/json';
    options.headers['X-QTS-CSRF'] = state.csrf;
    options.body = JSON.stringify(body || {});
  }
  const response = await fetch(path, options);
  const data = await response.json().catch(() => ({}));
  if (!response.ok) {
    throw new ApiError(data.error || { description: response.statusText }, response.status);
  }
  return data;
}

// Runs `work` (a request that may take a while) with the progress window: the server's step
// processes are polled while it runs.
async function withProgress(work) {
  let polling = true;
  const box = document.getElementById('progress');
  const poll = async () => {
    while (polling) {
      await new Promise((r) => setTimeout(r, 250));
      if (!polling) break;
      try {
        const p = await api('GET', '/api/progress');
        if (!polling) break;
        if (p.running || p.wait) {
          box.hidden = false;
          document.getElementById('progress-caption').textContent =
            p.running ? p.caption || 'Vykdoma…' : p.wait;
          const share = p.count > 0 ? Math.min(100, (100 * p.done) / p.count) : 0;
          document.getElementById('progress-fill').style.width = share + '%';
          document.getElementById('progress-count').textContent =
            p.running && p.count > 0 ? `${p.done} iš ${p.count}` : '';
        }
      } catch (e) {
        break;
      }
    }
  };
  poll();
  try {
    return await work();
  } finally {
    polling = false;
    box.hidden = true;
  }
}

function download(href) {
  const link = el('a', { href, download: '' });
  document.body.append(link);
  link.click();
  link.remove();
}

// ---- Modal boxes: messages, menus and forms are answered here ----

function modal(build) {
  return new Promise((resolve) => {
    const shade = document.getElementById('modal');
    const box = document.getElementById('modal-box');
    box.replaceChildren();
    const close = (value) => {
      shade.hidden = true;
      box.replaceChildren();
      resolve(value);
    };
    build(box, close);
    shade.hidden = false;
    const first = box.querySelector('button.primary, input, select, button');
    if (first) first.focus();
  });
}

function showMessage(message) {
  return modal((box, close) => {
    box.classList.toggle('error', !!message.error);
    if (message.title) box.append(el('h2', { text: message.title }));
    box.append(el('p', { class: 'message', text: message.text }));
    if (message.number) box.append(el('p', { class: 'muted', text: `Pranešimas ${message.number}` }));
    const buttons = message.buttons || [{ answer: 'ok', caption: 'Gerai' }];
    box.append(el('div', { class: 'buttons' },
      buttons.map((b, i) => el('button', {
        class: i === 0 ? 'primary' : '', 'data-answer': b.answer, text: b.caption,
        onclick: () => close(b.answer),
      }))));
  });
}

function showError(error) {
  const where = error.source ? ` (${error.source}${error.number ? ', ' + error.number : ''})` : '';
  return showMessage({ error: true, title: 'Klaida', text: error.description + where });
}

function showMenu(menu) {
  return modal((box, close) => {
    box.append(el('h2', { text: menu.caption || menu.owner }));
    box.append(el('div', { class: 'menu' }, menu.items.map((item) =>
      el('button', { 'data-item': item.key, text: item.caption || item.key, onclick: () => close(item.key) }))));
    box.append(el('div', { class: 'buttons' }, el('button', { text: 'Atšaukti', onclick: () => close('') })));
  });
}

// A control of a modal form (a report's parameters) by its kind.
function formInput(control) {
  const value = control.value === null || control.value === undefined ? '' : control.value;
  const id = 'f-' + control.name;
  switch (control.kind) {
    case 'check':
      return el('input', { id, name: control.name, type: 'checkbox', checked: value === 1 || value === '1' || value === true });
    case 'date':
      return el('input', { id, name: control.name, type: 'date', value: String(value).slice(0, 10) });
    case 'number':
      return el('input', { id, name: control.name, type: 'text', inputmode: 'decimal', value: String(value) });
    default:
      return el('input', { id, name: control.name, type: 'text', value: String(value) });
  }
}

function formFields(form) {
  const rows = [];
  for (const control of form.controls) {
    if (control.kind === 'label') { rows.push(el('p', { class: 'label', text: control.caption })); continue; }
    if (control.kind === 'frame') { rows.push(el('h3', { text: control.caption })); continue; }
    rows.push(el('label', { class: 'field', for: 'f-' + control.name },
      el('span', { class: 'caption', text: control.caption || control.name }), formInput(control)));
  }
  return rows;
}

function formValues(container, form) {
  const values = {};
  for (const control of form.controls) {
    const input = container.querySelector(`[name="${CSS.escape(control.name)}"]`);
    if (!input) continue;
    values[control.name] = input.type === 'checkbox' ? (input.checked ? '1' : '0') : input.value;
  }
  return values;
}

function showForm(form) {
  return modal((box, close) => {
    box.append(el('h2', { text: form.caption || form.form }));
    const body = el('div', { class: 'form' }, formFields(form));
    box.append(body);
    box.append(el('div', { class: 'buttons' },
      el('button', { class: 'primary', text: 'Gerai', onclick: () => close({ confirm: true, values: formValues(body, form) }) }),
      el('button', { text: 'Atšaukti', onclick: () => close({ confirm: false, values: {} }) })));
  });
}

// ---- Documents ----

async function renderDocs(type, query) {
  const types = state.types;
  type = type || (types[0] && types[0].code) || '';
  const q = Object.assign({ number: '', store: '', from: '', to: '', offset: 0 }, query || {});
  const page = el('section', { class: 'docs' });
  const typeSelect = el('select', { id: 'doc-type', onchange: () => { location.hash = '#docs/' + typeSelect.value; } },
    types.map((t) => el('option', { value: t.code, selected: t.code === type, text: `${t.code} — ${t.name || ''}` })));
  const search = {
    number: el('input', { id: 'search-number', type: 'search', placeholder: 'Numeris', value: q.number }),
    store: el('input', { id: 'search-store', type: 'search', placeholder: 'Sandėlis', value: q.store }),
    from: el('input', { id: 'search-from', type: 'date', value: q.from }),
    to: el('input', { id: 'search-to', type: 'date', value: q.to }),
  };
  const find = (offset) => renderDocs(type, {
    number: search.number.value, store: search.store.value, from: search.from.value, to: search.to.value, offset,
  });
  page.append(el('div', { class: 'toolbar' },
    el('label', {}, 'Tipas ', typeSelect),
    search.number, search.store, 'nuo', search.from, 'iki', search.to,
    el('button', { id: 'search', text: 'Ieškoti', onclick: () => find(0) }),
    el('button', { id: 'new-doc', class: 'primary', text: 'Naujas dokumentas', onclick: () => { location.hash = `#dialog/${type}/new`; } })));
  for (const input of Object.values(search)) {
    input.addEventListener('keydown', (e) => { if (e.key === 'Enter') find(0); });
  }
  const limit = 50;
  const params = new URLSearchParams({ type, number: q.number, store: q.store, from: q.from, to: q.to, offset: q.offset, limit });
  let data;
  try {
    data = await api('GET', '/api/documents?' + params);
  } catch (e) {
    main().replaceChildren(page);
    return showError(e.error);
  }
  const table = el('table', { class: 'list', id: 'documents' },
    el('thead', {}, el('tr', {}, ['IDC', 'Tipas', 'Numeris', 'Data', 'Sandėlis', 'Būsena'].map((c) => el('th', { text: c })))),
    el('tbody', {}, data.rows.map((row) => el('tr', {
      class: 'link', 'data-idc': row.IDC,
      onclick: () => { location.hash = `#dialog/${row.DocTypeCode}/${row.IDC}`; },
    },
    el('td', { class: 'num', text: row.IDC }), el('td', { text: row.DocTypeCode }), el('td', { text: row.Number }),
    el('td', { text: (row.DocumentDate || '').slice(0, 10) }), el('td', { text: row.StoreCode }),
    el('td', { text: row.IsPosted ? 'patvirtintas' : 'nepatvirtintas' })))));
  page.append(table);
  if (data.rows.length === 0) page.append(el('p', { class: 'muted', text: 'Dokumentų nėra.' }));
  page.append(el('div', { class: 'pager' },
    el('button', { text: '‹ Ankstesni', disabled: q.offset === 0, onclick: () => find(Math.max(0, q.offset - limit)) }),
    el('span', { class: 'muted', text: data.rows.length ? `${q.offset + 1}–${q.offset + data.rows.length}` : '' }),
    el('button', { text: 'Kiti ›', disabled: !data.more, onclick: () => find(q.offset + limit) })));
  main().replaceChildren(page);
}

// ---- A document in its dialog ----

// Shows what an action answered: the dialog as it stands, then its notices and errors, then
// the question it waits for; an answered question runs the action on.
async function handleResult(result) {
  state.dialog = result;
  renderDialog(result);
  for (const notice of result.notices || []) await showMessage(notice);
  for (const error of result.errors || []) await showError(error);
  if (result.download) download(result.download);
  const question = result.question;
  if (!question) return result;
  let answer;
  if (question.kind === 'message') answer = { answer: await showMessage(question) };
  else if (question.kind === 'menu') answer = { item: await showMenu(question) };
  else answer = await showForm(question.form);
  return handleResult(await withProgress(() => api('POST', `/api/dialogs/${result.dialog}/answer`, answer)));
}

async function act(command) {
  const dialog = state.dialog;
  if (!dialog) return;
  try {
    return await handleResult(await withProgress(() => api('POST', `/api/dialogs/${dialog.dialog}/action`, command)));
  } catch (e) {
    if (e instanceof ApiError) return showError(e.error);
    throw e;
  }
}

async function openDialog(type, idc) {
  main().replaceChildren(el('p', { class: 'muted', text: 'Atidaromas dokumentas…' }));
  try {
    state.newRow = {};
    await handleResult(await withProgress(() => api('POST', '/api/dialogs', { type, idc })));
  } catch (e) {
    main().replaceChildren(el('p', {}, el('a', { href: '#docs/' + type, text: '‹ Dokumentai' })));
    return showError(e.error || { description: String(e) });
  }
}

async function closeDialog() {
  const dialog = state.dialog;
  if (!dialog) return;
  if (dialog.unsaved > 0) {
    const answer = await showMessage({
      text: 'Išsaugoti dokumento pakeitimus?',
      buttons: [{ answer: 'yes', caption: 'Taip' }, { answer: 'no', caption: 'Ne' }, { answer: 'cancel', caption: 'Atšaukti' }],
    });
    if (answer === 'cancel') return;
    if (answer === 'yes') {
      const saved = await act({ action: 'save' });
      if (!saved || !saved.written) return;
    }
  }
  await api('POST', `/api/dialogs/${dialog.dialog}/close`, {}).catch(() => {});
  state.dialog = null;
  location.hash = '#docs/' + dialog.type;
}

function fieldInput(field) {
  const disabled = !field.enabled;
  const set = (value) => act({ action: 'set', control: field.name, value });
  const id = 'c-' + field.name;
  switch (field.kind) {
    case 'check':
      return el('input', { id, type: 'checkbox', 'data-control': field.name, checked: field.value === '1', disabled,
        onchange: (e) => set(e.target.checked ? '1' : '0') });
    case 'date':
      return el('input', { id, type: 'date', 'data-control': field.name, value: (field.value || '').slice(0, 10), disabled,
        onchange: (e) => set(e.target.value) });
    case 'combo': {
      const shown = field.text.startsWith(field.value) ? field.text.slice(field.value.length).trim() : '';
      return el('span', { class: 'combo' },
        el('input', { id, type: 'text', class: 'code', 'data-control': field.name, value: field.value, disabled,
          onchange: (e) => set(e.target.value) }),
        el('span', { class: 'shown', text: shown }));
    }
    default:
      return el('input', { id, type: 'text', 'data-control': field.name, value: field.value, disabled,
        inputmode: field.kind === 'number' ? 'decimal' : undefined,
        class: field.kind === 'number' ? 'num' : undefined,
        onchange: (e) => set(e.target.value) });
  }
}

const kHeaderLayouts = [0, 5];   // fixed and wide: the header above the grid
const kOwnButtons = { btApply: 'save', btOk: 'ok', btCancel: 'close', btUsePrint: 'print' };

function renderField(field) {
  return el('label', { class: 'field' + (field.layout === 5 ? ' wide' : '') + (field.enabled ? '' : ' locked'), for: 'c-' + field.name, title: field.name },
    el('span', { class: 'caption', text: field.caption || field.name }), fieldInput(field));
}

let lookupTimer = null;
function goodsLookup(input, list) {
  clearTimeout(lookupTimer);
  const text = input.value.trim();
  if (text.length < 2) return;
  lookupTimer = setTimeout(async () => {
    try {
      const data = await api('GET', `/api/dialogs/${state.dialog.dialog}/goods?q=` + encodeURIComponent(text));
      list.replaceChildren(...data.goods.slice(0, 30).map((line) => el('option', { value: line.split(' ')[0], text: line })));
    } catch (e) { /* the look-up is a help only */ }
  }, 250);
}

function renderGrid(grid) {
  const editable = !grid.readOnly;
  const head = el('tr', {}, el('th', { text: '' }), grid.columns.map((c) => el('th', { class: c.numeric ? 'num' : '', title: c.key, text: c.caption || c.key })));
  const body = el('tbody', {});
  grid.rows.forEach((cells, i) => {
    const pos = String(grid.positions[i]);
    const tr = el('tr', { class: i === grid.currentRow ? 'current' : '', 'data-pos': pos },
      el('td', {}, editable ? el('button', { class: 'small', title: 'Šalinti eilutę', 'data-delete': pos, text: '×',
        onclick: () => act({ action: 'delete', row: pos }) }) : ''));
    grid.columns.forEach((column, c) => {
      const text = cells[c];
      if (editable && column.editable) {
        tr.append(el('td', { class: column.numeric ? 'num' : '' }, el('input', {
          type: 'text', value: text, 'data-row': pos, 'data-column': column.key, class: column.numeric ? 'num' : '',
          onchange: (e) => act({ action: 'cell', row: pos, column: column.key, value: e.target.value }),
        })));
      } else {
        tr.append(el('td', { class: column.numeric ? 'num' : '', text }));
      }
    });
    body.append(tr);
  });
  if (editable) {
    // The empty last line: it becomes a row once it has a good and an amount.
    const list = el('datalist', { id: 'goods-list' });
    const tr = el('tr', { class: 'new-row' }, el('td', { class: 'muted', text: '+' }));
    for (const column of grid.columns) {
      if (!column.editable) { tr.append(el('td', {})); continue; }
      const input = el('input', {
        type: 'text', 'data-row': 'new', 'data-column': column.key, value: state.newRow[column.key] || '',
        class: column.numeric ? 'num' : '', list: column.key === 'GoodCode' ? 'goods-list' : undefined,
        placeholder: column.key === 'GoodCode' ? 'prekės kodas' : '',
        onchange: async (e) => {
          state.newRow[column.key] = e.target.value;
          const result = await act({ action: 'cell', row: 'new', column: column.key, value: e.target.value });
          // A line with its good and amount became a row (or merged into one): the line is
          // empty again for the next.
          if (result && result.outcome === 'done' && state.newRow.GoodCode && state.newRow.Amount) {
            state.newRow = {};
            renderDialog(state.dialog);
          }
        },
      });
      if (column.key === 'GoodCode') input.addEventListener('input', () => goodsLookup(input, list));
      tr.append(el('td', {}, input));
    }
    body.append(tr);
    body.append(list);
  }
  const foot = el('tfoot', {}, el('tr', {}, el('td', { text: '' }),
    grid.columns.map((c, i) => el('td', { class: c.numeric ? 'num' : '', text: grid.totals[i] || '' }))));
  const table = el('table', { class: 'grid', id: 'grid' }, el('thead', {}, head), body, foot);
  const note = grid.readOnly ? el('p', { class: 'muted', text: 'Eilutės tik skaitomos' + (grid.readOnlyReason ? ': ' + grid.readOnlyReason : '') }) : null;
  return el('div', { class: 'grid-wrap' }, table, note);
}

function renderDialog(result) {
  const view = result.view;
  if (!view) return;
  const fields = view.fields.filter((f) => f.visible);
  const header = fields.filter((f) => kHeaderLayouts.includes(f.layout) && !['button', 'label', 'frame', 'grid', 'tabs'].includes(f.kind));
  const bottom = fields.filter((f) => !kHeaderLayouts.includes(f.layout) && !['button', 'label', 'frame', 'grid', 'tabs'].includes(f.kind));
  const buttons = fields.filter((f) => f.kind === 'button' && !(f.name in kOwnButtons));
  const printForm = el('select', { id: 'print-form' }, view.printForms.map((p) => el('option', { value: p.class, text: p.caption })));
  const printFormat = el('select', { id: 'print-format' }, el('option', { value: 'html', text: 'HTML' }), el('option', { value: 'pdf', text: 'PDF' }));
  const barCode = el('input', { type: 'checkbox', id: 'print-barcode' });
  const page = el('section', { class: 'dialog', 'data-form': view.form },
    el('div', { class: 'title' },
      el('a', { href: '#docs/' + result.type, text: '‹ Dokumentai', onclick: (e) => { e.preventDefault(); closeDialog(); } }),
      el('h1', { text: view.caption }),
      el('span', { class: 'status', id: 'status', text: view.status })),
    el('div', { class: 'toolbar' },
      el('button', { id: 'save', class: 'primary', text: 'Išsaugoti', onclick: () => act({ action: 'save' }) }),
      el('button', { id: 'close', text: 'Uždaryti', onclick: closeDialog }),
      view.printForms.length ? el('span', { class: 'print' }, printForm, printFormat, el('label', {}, barCode, ' brūkšninis kodas'),
        el('button', { id: 'print', text: 'Spausdinti', onclick: () => act({ action: 'print', class: printForm.value, format: printFormat.value, barCode: barCode.checked }) })) : null),
    el('div', { class: 'header' }, header.map(renderField)),
    view.grid ? renderGrid(view.grid) : null,
    el('div', { class: 'bottom' }, bottom.map(renderField)),
    el('div', { class: 'buttons form-buttons' }, buttons.map((b) => el('button', {
      id: 'b-' + b.name, title: b.name, disabled: !b.enabled, text: b.caption || b.name,
      onclick: () => act({ action: 'press', button: b.name }),
    }))));
  main().replaceChildren(page);
}

// ---- Reports ----

async function renderReports() {
  let reports;
  try { reports = await api('GET', '/api/reports'); } catch (e) { return showError(e.error); }
  main().replaceChildren(el('section', { class: 'reports' }, el('h1', { text: 'Ataskaitos' }),
    el('table', { class: 'list', id: 'reports' }, el('tbody', {}, reports.map((r) =>
      el('tr', { class: 'link', 'data-report': r.class, onclick: () => { location.hash = '#report/' + r.class; } },
        el('td', { text: r.title }), el('td', { class: 'muted', text: r.class })))))));
}

// A number as the printed report writes it ("1 234,56") for sorting.
function sortKey(text, numeric) {
  if (!numeric) return text;
  const n = parseFloat(String(text).replace(/\s/g, '').replace(',', '.'));
  return Number.isNaN(n) ? -Infinity : n;
}

function renderTable(table) {
  const lines = table.lines.slice();
  const tbody = el('tbody', {});
  const fill = () => tbody.replaceChildren(...lines.map((line) => el('tr', { class: line.kind },
    line.cells.map((cell, i) => el('td', { class: table.columns[i] && table.columns[i].numeric ? 'num' : '', text: cell })))));
  let sorted = { column: -1, up: true };
  const head = el('tr', {}, table.columns.map((column, i) => el('th', {
    class: (column.numeric ? 'num ' : '') + 'sortable', title: 'Rūšiuoti',
    onclick: (e) => {
      sorted = { column: i, up: sorted.column === i ? !sorted.up : true };
      for (const th of head.children) th.removeAttribute('data-sorted');
      e.currentTarget.setAttribute('data-sorted', sorted.up ? 'up' : 'down');
      // Sums stay under the rows they sum: only detail lines are sorted, and only when the
      // table has no groups of its own.
      const details = lines.filter((l) => l.kind === 'detail');
      const rest = lines.filter((l) => l.kind !== 'detail');
      details.sort((a, b) => {
        const x = sortKey(a.cells[i], column.numeric);
        const y = sortKey(b.cells[i], column.numeric);
        return (x < y ? -1 : x > y ? 1 : 0) * (sorted.up ? 1 : -1);
      });
      lines.splice(0, lines.length, ...details, ...rest);
      fill();
    },
  }, column.caption, column.code ? el('small', { text: ' ' + column.code }) : null)));
  fill();
  return el('div', { class: 'grid-wrap' }, table.caption ? el('h2', { text: table.caption }) : null,
    el('table', { class: 'grid result' }, el('thead', {}, head), tbody));
}

async function renderReport(reportClass) {
  main().replaceChildren(el('p', { class: 'muted', text: 'Kraunama ataskaitos forma…' }));
  let form;
  try { form = await api('GET', `/api/reports/${reportClass}/form`); } catch (e) {
    main().replaceChildren(el('a', { href: '#reports', text: '‹ Ataskaitos' }));
    return showError(e.error);
  }
  const body = el('div', { class: 'form', id: 'report-form' }, formFields(form));
  const output = el('div', { id: 'report-result' });
  const run = async () => {
    let result;
    try {
      result = await withProgress(() => api('POST', `/api/reports/${reportClass}/run`, { values: formValues(body, form) }));
    } catch (e) { return showError(e.error); }
    for (const notice of result.notices || []) await showMessage(notice);
    if (!result.result) {
      for (const error of result.errors || []) await showError(error);
      return;
    }
    output.replaceChildren(...[
      el('h2', { text: result.title }),
      el('div', { class: 'downloads' }, 'Atsisiųsti: ', ['csv', 'xlsx', 'pdf'].map((f) =>
        el('a', { href: `/api/results/${result.result}.${f}`, download: '', class: 'button', id: 'download-' + f, text: f.toUpperCase() }))),
      el('dl', { class: 'report-header' }, result.header.flatMap((h) => [el('dt', { text: h.caption }), el('dd', { text: h.text })])),
      result.tables.map(renderTable),
      result.tables.every((t) => t.rows === 0) ? el('p', { class: 'muted', text: result.noData }) : null,
    ].flat().filter(Boolean));
  };
  main().replaceChildren(el('section', { class: 'report' },
    el('div', { class: 'title' }, el('a', { href: '#reports', text: '‹ Ataskaitos' }), el('h1', { text: form.title || reportClass }),
      el('span', { class: 'status', text: form.caption })),
    body, el('div', { class: 'buttons' }, el('button', { class: 'primary', id: 'run-report', text: 'Vykdyti', onclick: run })), output));
  // A last choice the form could no longer use was dropped: say so once the form is there.
  for (const notice of form.notices || []) await showMessage(notice);
}

// ---- Routes ----

// The person went elsewhere (back, a link): the dialog is closed on the server, and what was
// not saved is dropped, as closing a window without saving drops it.
function leaveDialog() {
  const dialog = state.dialog;
  state.dialog = null;
  if (dialog) api('POST', `/api/dialogs/${dialog.dialog}/close`, {}).catch(() => {});
}

async function route() {
  const hash = decodeURIComponent(location.hash.slice(1));
  const parts = hash.split('/');
  document.getElementById('nav-docs').classList.toggle('active', !hash.startsWith('report'));
  document.getElementById('nav-reports').classList.toggle('active', hash.startsWith('report'));
  if (parts[0] === 'dialog' && parts[1]) {
    if (state.dialog && state.dialog.type === parts[1] && String(state.dialog.idc) === parts[2]) return;
    leaveDialog();
    return openDialog(parts[1], parts[2] === 'new' ? 0 : parseInt(parts[2], 10) || 0);
  }
  leaveDialog();
  if (parts[0] === 'reports') return renderReports();
  if (parts[0] === 'report' && parts[1]) return renderReport(parts[1]);
  return renderDocs(parts[0] === 'docs' ? parts[1] : '');
}

async function start() {
  try {
    const session = await api('GET', '/api/session');
    state.csrf = session.csrf;
    document.getElementById('book').textContent = `${session.code} · ${session.book}`;
    state.types = await api('GET', '/api/types');
  } catch (e) {
    main().replaceChildren(el('p', { class: 'error', text: e.message }));
    return;
  }
  window.addEventListener('hashchange', route);
  await route();
}

start();
