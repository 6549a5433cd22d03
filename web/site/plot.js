// The solubility plot as SVG, drawn by hand: one curve per temperature against pressure (or one
// curve against temperature along a phase-boundary curve), the parts inside the hydrate field
// dashed, measured points as circles.
'use strict';

const Plot = (() => {
    const NS = 'http://www.w3.org/2000/svg';
    const W = 800, H = 520, L = 70, R = 150, T = 20, B = 55;
    const COLOURS = ['#1f77b4', '#d62728', '#2ca02c', '#9467bd', '#ff7f0e', '#17becf', '#8c564b', '#e377c2',
                     '#7f7f7f', '#bcbd22'];

    function el(name, attrs, text) {
        const e = document.createElementNS(NS, name);
        for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, v);
        if (text !== undefined) e.textContent = text;
        return e;
    }

    // Round steps (1, 2, 5 × 10^n) giving about `n` ticks over [lo, hi].
    function ticks(lo, hi, n) {
        const raw = (hi - lo) / n;
        const mag = Math.pow(10, Math.floor(Math.log10(raw)));
        const step = [1, 2, 5, 10].map((f) => f * mag).find((s) => s >= raw);
        const out = [];
        for (let v = Math.ceil(lo / step) * step; v <= hi + step * 1e-9; v += step) out.push(+v.toPrecision(12));
        return out;
    }

    // series: [{label, points: [{x, y, hydrate}]}]; measured: [{x, y, label}].
    function draw(series, measured, xTitle, yTitle) {
        const xs = [], ys = [];
        for (const s of series) for (const p of s.points) { xs.push(p.x); ys.push(p.y); }
        for (const p of measured) { xs.push(p.x); ys.push(p.y); }
        const svg = el('svg', {xmlns: NS, viewBox: `0 0 ${W} ${H}`, role: 'img', 'font-family': 'sans-serif',
                               'font-size': '13'});
        svg.appendChild(el('title', {}, `${yTitle} against ${xTitle}`));
        svg.appendChild(el('rect', {x: 0, y: 0, width: W, height: H, fill: 'white'}));
        if (xs.length === 0) {
            svg.appendChild(el('text', {x: W / 2, y: H / 2, 'text-anchor': 'middle'}, 'no point to draw'));
            return svg;
        }
        let [x0, x1] = [Math.min(...xs), Math.max(...xs)];
        let [y0, y1] = [0, Math.max(...ys)];
        if (x0 === x1) { x0 -= 1; x1 += 1; }
        if (y0 === y1) y1 = y0 + 1;
        const px = (x) => L + (x - x0) / (x1 - x0) * (W - L - R);
        const py = (y) => H - B - (y - y0) / (y1 - y0) * (H - T - B);
        const axes = el('g', {class: 'axes', stroke: '#333', fill: 'none'});
        axes.appendChild(el('rect', {x: L, y: T, width: W - L - R, height: H - T - B}));
        svg.appendChild(axes);
        const labels = el('g', {class: 'ticks', fill: '#333'});
        for (const v of ticks(x0, x1, 8)) {
            labels.appendChild(el('line', {x1: px(v), x2: px(v), y1: H - B, y2: H - B + 5, stroke: '#333'}));
            labels.appendChild(el('text', {x: px(v), y: H - B + 19, 'text-anchor': 'middle'}, String(v)));
        }
        for (const v of ticks(y0, y1, 6)) {
            labels.appendChild(el('line', {x1: L - 5, x2: L, y1: py(v), y2: py(v), stroke: '#333'}));
            labels.appendChild(el('text', {x: L - 8, y: py(v) + 4, 'text-anchor': 'end'}, String(v)));
        }
        labels.appendChild(el('text', {x: (L + W - R) / 2, y: H - 12, 'text-anchor': 'middle'}, xTitle));
        labels.appendChild(el('text', {x: 16, y: (T + H - B) / 2, 'text-anchor': 'middle',
                                       transform: `rotate(-90 16 ${(T + H - B) / 2})`}, yTitle));
        svg.appendChild(labels);
        series.forEach((s, i) => {
            const colour = COLOURS[i % COLOURS.length];
            const g = el('g', {class: 'curve', 'data-label': s.label, stroke: colour, fill: 'none',
                               'stroke-width': 2});
            g.appendChild(el('title', {}, s.label));
            // Runs of points alike in the hydrate flag, each run from the last point of the one
            // before, so that the curve stays joined where it enters or leaves the field; a failed
            // point (null) breaks the curve.
            const runs = [];
            let run = null;
            for (const p of s.points) {
                if (p === null) { run = null; continue; }
                if (run && run.hydrate === p.hydrate) { run.points.push(p); continue; }
                run = {hydrate: p.hydrate, points: run ? [run.points[run.points.length - 1], p] : [p]};
                runs.push(run);
            }
            for (const r of runs) {
                if (r.points.length < 2) continue;
                const d = r.points.map((p, k) => `${k ? 'L' : 'M'}${px(p.x).toFixed(2)},${py(p.y).toFixed(2)}`).join('');
                const attrs = {d, class: r.hydrate ? 'hydrate' : 'plain'};
                if (r.hydrate) attrs['stroke-dasharray'] = '6 4';
                g.appendChild(el('path', attrs));
            }
            svg.appendChild(g);
            const ly = T + 14 + i * 18;
            svg.appendChild(el('line', {x1: W - R + 12, x2: W - R + 40, y1: ly - 4, y2: ly - 4, stroke: colour,
                                        'stroke-width': 2}));
            svg.appendChild(el('text', {x: W - R + 46, y: ly}, s.label));
        });
        const dots = el('g', {class: 'measured', fill: 'none', stroke: '#000'});
        for (const p of measured) {
            const c = el('circle', {cx: px(p.x), cy: py(p.y), r: 3.5});
            c.appendChild(el('title', {}, p.label));
            dots.appendChild(c);
        }
        svg.appendChild(dots);
        const n = series.length;
        svg.appendChild(el('text', {x: W - R + 12, y: T + 14 + n * 18 + 10, 'font-size': '11'},
                           'dashed: hydrate field'));
        if (measured.length)
            svg.appendChild(el('text', {x: W - R + 12, y: T + 14 + n * 18 + 26, 'font-size': '11'},
                               '○ measured'));
        return svg;
    }

    return {draw};
})();
