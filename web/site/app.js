// The page: one state point through the model's C interface, and grids through co2table's own
// option reader and row writer in a worker. Every name, unit, description, flag and curve comes
// from the library's tables, so the page lists nothing of its own.
'use strict';

const $ = (id) => document.getElementById(id);
const MAX_GRID_POINTS = 200000;
const SHOWN_ROWS = 2000;

createCo2().then((co2) => {
    const str = (name, types, values) => co2.ccall(name, 'string', types || [], values || []);
    const num = (name, types, values) => co2.ccall(name, 'number', types || [], values || []);
    const text = (x) => (Number.isNaN(x) ? '' : str('web_number_text', ['number'], [x]));

    const quantities = [];
    for (let i = 0; i < num('co2_quantity_count'); ++i)
        quantities.push({name: str('co2_quantity_name', ['number'], [i]), unit: str('co2_quantity_unit', ['number'], [i]),
                         description: str('co2_quantity_description', ['number'], [i])});
    const flags = [];
    for (let i = 0; i < num('co2_flag_count'); ++i)
        flags.push({name: str('co2_flag_name', ['number'], [i]), bit: num('co2_flag_bit', ['number'], [i]) >>> 0,
                    description: str('co2_flag_description', ['number'], [i])});
    const flag = (name) => flags.find((f) => f.name === name);
    const curves = [];
    const range = co2._malloc(16);
    for (let option = 1; option <= num('co2_curve_count'); ++option) {
        num('co2_curve_range', ['number', 'number', 'number'], [option, range, range + 8]);
        curves.push({option, name: str('co2_curve_name', ['number'], [option]),
                     min: co2.getValue(range, 'double'), max: co2.getValue(range + 8, 'double')});
    }
    co2._free(range);
    for (const id of ['mode', 'gmode'])
        for (const c of curves)
            $(id).appendChild(new Option(`the ${c.name} curve (${text(c.min)} .. ${text(c.max)} °C)`, c.option));
    $('version').textContent = `Model version ${str('co2_version')}.`;

    // A typed number as co2table reads it: its double, or a message naming the bad text.
    function readNumber(id, what, optional) {
        const raw = $(id).value.trim();
        if (raw === '') return optional ? {value: NaN} : {error: `${what}: a number is needed`};
        const shortest = str('web_parse_number', ['string'], [raw]);
        if (shortest === '') return {error: `${what}: "${raw}" is not a number`};
        return {value: Number(shortest)};
    }
    function mark(id, message) {
        $(id).setAttribute('aria-invalid', message ? 'true' : 'false');
        $(id + '-msg').textContent = message || '';
    }

    // ---- one point ----
    function checkPoint() {
        const curve = Number($('mode').value);
        $('p-field').hidden = curve !== 0;
        const t = readNumber('t', 'temperature');
        const p = curve === 0 ? readNumber('p', 'pressure') : {value: 0};
        const m = readNumber('m', 'molality', true);
        const nacl = readNumber('nacl', 'NaCl molality', true);
        if (t.value !== undefined && curve !== 0) {
            const c = curves[curve - 1];
            if (!(t.value >= c.min && t.value <= c.max))
                t.error = `temperature: ${text(t.value)} °C is outside the ${c.name} curve's range ${text(c.min)} .. ${text(c.max)} °C`;
        }
        if (p.value < 0) p.error = `pressure: ${text(p.value)} MPa is negative`;
        if (m.value < 0) m.error = `molality: ${text(m.value)} mol/kg is negative`;
        if (nacl.value < 0) nacl.error = `NaCl molality: ${text(nacl.value)} mol/kg is negative`;
        mark('t', t.error);
        mark('p', curve === 0 ? p.error : '');
        mark('m', m.error);
        mark('nacl', nacl.error);
        if (t.error || p.error || m.error || nacl.error) return null;
        return {t: t.value, p: p.value, curve, m: m.value, nacl: Number.isNaN(nacl.value) ? 0 : nacl.value,
                salt: Number($('salt').value)};
    }

    function showPoint() {
        saveState();
        const input = checkPoint();
        const body = $('report').tBodies[0];
        $('notices').replaceChildren();
        $('labels').textContent = '';
        $('point-error').hidden = true;
        if (input === null) {
            body.replaceChildren();
            return;
        }
        const code = num('web_run', Array(11).fill('number'),
                         [input.t, input.p, input.curve, input.m, input.nacl, 0, 0, 0, input.nacl, 0, input.salt]);
        const values = co2.HEAPF64.subarray(num('web_values') >> 3, (num('web_values') >> 3) + quantities.length);
        const bits = num('web_flags') >>> 0;
        if (code !== 0) {
            $('point-error').textContent = `The point failed (code ${code}): ${str('web_error')}`;
            $('point-error').hidden = false;
        }
        for (const f of flags) {
            if (!(bits & f.bit) || f.name.startsWith('co2_') || f.name === 'hydrate') continue;
            const div = document.createElement('div');
            div.className = 'notice';
            div.dataset.flag = f.name;
            div.textContent = `${f.name}: ${f.description}`;
            $('notices').appendChild(div);
        }
        if (code === 0) {
            const phase = ['gas', 'liquid', 'supercritical'].find((p) => bits & flag('co2_' + p).bit) || 'none';
            const hydrate = flag('hydrate');
            $('labels').innerHTML = '';
            const add = (label, value, id) => {
                const b = document.createElement('strong');
                b.textContent = label + ': ';
                const s = document.createElement('span');
                s.id = id;
                s.textContent = value;
                $('labels').append(b, s, ' ');
            };
            add('CO2 phase', phase, 'phase');
            add('Hydrate', bits & hydrate.bit ? `yes, ${hydrate.description}` : 'no', 'hydrate');
        }
        const rows = quantities.map((q, i) => {
            const tr = document.createElement('tr');
            tr.dataset.name = q.name;
            const cells = [q.name, text(values[i]) || '—', q.unit, q.description];
            cells.forEach((c, k) => {
                const td = document.createElement(k === 0 ? 'th' : 'td');
                if (k === 0) td.scope = 'row';
                if (k === 1) td.className = 'num';
                td.textContent = c;
                tr.appendChild(td);
            });
            return tr;
        });
        body.replaceChildren(...rows);
    }

    // ---- the inputs in the address ----
    const fields = ['t', 'mode', 'p', 'm', 'nacl', 'salt', 'gt', 'gmode', 'gp', 'gnacl', 'gsalt'];
    function saveState() {
        const q = new URLSearchParams();
        for (const f of fields) q.set(f, $(f).value);
        history.replaceState(null, '', `?${q}${location.hash}`);
    }
    const given = new URLSearchParams(location.search);
    for (const f of fields)
        if (given.has(f)) $(f).value = given.get(f);

    // ---- grids ----
    let worker = null;
    let result = null;
    let measured = [];
    fetch('co2_solubility_measured.csv').then((r) => (r.ok ? r.text() : '')).then((csv) => {
        const parsed = JSON.parse(str('web_measured', ['string'], [csv]));
        measured = parsed.points || [];
    }).catch(() => { measured = []; });

    function gridArgs() {
        const args = ['--temperature', $('gt').value.trim()];
        const curve = Number($('gmode').value);
        args.push(...(curve ? ['--curve', String(curve)] : ['--pressure', $('gp').value.trim()]));
        if ($('gnacl').value.trim() !== '') args.push('--nacl', $('gnacl').value.trim(), '--salt-model', $('gsalt').value);
        return args;
    }
    function download(name, type, content) {
        const a = document.createElement('a');
        a.href = URL.createObjectURL(new Blob([content], {type}));
        a.download = name;
        document.body.appendChild(a);
        a.click();
        setTimeout(() => { URL.revokeObjectURL(a.href); a.remove(); }, 1000);
    }
    function drawPlot() {
        if (!result) return;
        const curve = result.curve;
        const series = new Map();
        for (const [T, P, nacl, sol, hydrate] of result.rows) {
            const key = curve ? (nacl === '0' ? 'along the curve' : `NaCl ${nacl} mol/kg`)
                              : `${T} °C` + (nacl === '0' ? '' : `, NaCl ${nacl}`);
            if (!series.has(key)) series.set(key, {label: key, points: []});
            series.get(key).points.push(sol === null ? null : {x: Number(curve ? T : P), y: Number(sol), hydrate: hydrate === 1});
        }
        const all = [...series.values()];
        let dots = [];
        if (!curve && $('measured').checked && all.length) {
            const ps = result.rows.map((r) => Number(r[1]));
            const [lo, hi] = [Math.min(...ps), Math.max(...ps)];
            const ts = result.rows.map((r) => Number(r[0]));
            const [tlo, thi] = [Math.min(...ts), Math.max(...ts)];
            dots = measured.filter(([T, P]) => P >= lo && P <= hi && T >= tlo - 2.5 && T <= thi + 2.5)
                .map(([T, P, m]) => ({x: P, y: m, label: `measured: ${T} °C, ${P} MPa, ${m} mol/kg`}));
        }
        const svg = Plot.draw(all, dots, curve ? 'temperature [°C]' : 'pressure [MPa]', 'sol_m [mol/kg]');
        $('plot').replaceChildren(svg);
        $('dl-svg').disabled = false;
    }
    function showGrid() {
        const body = $('grid-table').tBodies[0];
        const rows = result.rows.slice(0, SHOWN_ROWS).map((r) => {
            const tr = document.createElement('tr');
            [r[0], r[1], r[3] === null ? '—' : r[3], r[4] ? 'yes' : 'no', r[5], r[6]].forEach((c, k) => {
                const td = document.createElement('td');
                if (k < 3) td.className = 'num';
                td.textContent = c;
                tr.appendChild(td);
            });
            return tr;
        });
        body.replaceChildren(...rows);
        const more = result.rows.length > SHOWN_ROWS ? ` (the first ${SHOWN_ROWS} shown; the downloads hold all)` : '';
        $('grid-status').textContent = `${result.rows.length} points computed${more}.`;
        $('dl-csv').disabled = $('dl-json').disabled = false;
        drawPlot();
    }
    $('grid-form').addEventListener('submit', (event) => {
        event.preventDefault();
        saveState();
        if (worker) worker.terminate();
        result = null;
        $('grid-error').hidden = true;
        $('dl-csv').disabled = $('dl-json').disabled = $('dl-svg').disabled = true;
        $('grid-progress').hidden = false;
        $('grid-progress').value = 0;
        $('grid-status').textContent = 'Computing…';
        const curve = Number($('gmode').value);
        worker = new Worker('worker.js');
        worker.onmessage = ({data}) => {
            if (data.error) {
                $('grid-error').textContent = data.error;
                $('grid-error').hidden = false;
                $('grid-progress').hidden = true;
                $('grid-status').textContent = '';
            } else if (data.rows) {
                result = {rows: data.rows, csv: data.csv, json: data.json, curve};
                $('grid-progress').hidden = true;
                showGrid();
            } else {
                $('grid-progress').value = data.progress;
                $('grid-status').textContent = `Computing… ${data.done} of ${data.count} points`;
            }
        };
        worker.postMessage({args: gridArgs(), max: MAX_GRID_POINTS});
    });
    $('gmode').addEventListener('change', () => { $('gp-field').hidden = Number($('gmode').value) !== 0; });
    $('gp-field').hidden = Number($('gmode').value) !== 0;
    $('measured').addEventListener('change', drawPlot);
    $('dl-csv').addEventListener('click', () => download('co2table.csv', 'text/csv', result.csv));
    $('dl-json').addEventListener('click', () => download('co2table.json', 'application/json', result.json));
    $('dl-svg').addEventListener('click', () =>
        download('co2_solubility.svg', 'image/svg+xml', new XMLSerializer().serializeToString($('plot').firstChild)));

    for (const id of ['t', 'mode', 'p', 'm', 'nacl', 'salt']) $(id).addEventListener('input', showPoint);
    $('point-form').addEventListener('submit', (e) => e.preventDefault());
    showPoint();
    $('loading').hidden = true;
    document.body.dataset.ready = '1';
}).catch((e) => {
    $('loading').textContent = `The model could not be loaded: ${e}`;
});
