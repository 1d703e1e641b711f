#!/usr/bin/env python3
"""Writes the SVG sources of the map's node icons, tool icons and cursors.

Run from the repository root; the SVG files it writes are the committed sources."""
import os

NODE_ICONS = {  # kind: (normal, selected, initial, initial selected)
    "pano": (107, 122, 373, 127),
    "obj": (109, 123, 372, 128),
    "moov": (105, 124, 371, 129),
    "imag": (108, 125, 375, 130),
    "generic": (106, 126, 374, 131),
}


def kind_art(kind, ink, paper):
    if kind == "pano":  # a drum: the panorama's cylinder with a landscape round its side
        return (f'<path d="M5 9 V23 A11 3.5 0 0 0 27 23 V9" fill="{paper}" stroke="{ink}" stroke-width="1.5"/>'
                f'<path d="M5 21 L9 16.5 L12 18.5 L16 14 L20 18 L23 16 L27 19 V23 A11 3.5 0 0 1 5 23 Z" fill="{ink}"/>'
                f'<ellipse cx="16" cy="9" rx="11" ry="3.5" fill="{paper}" stroke="{ink}" stroke-width="1.5"/>')
    if kind == "obj":
        return (f'<path d="M16 6 L26 11 L26 22 L16 27 L6 22 L6 11 Z" fill="{paper}" stroke="{ink}" stroke-width="1.5" stroke-linejoin="round"/>'
                f'<path d="M6 11 L16 16 L26 11 M16 16 V27" fill="none" stroke="{ink}" stroke-width="1.5"/>'
                f'<path d="M16 16 L26 11 L26 22 L16 27 Z" fill="{ink}" fill-opacity="0.35"/>')
    if kind == "moov":
        holes = "".join(f'<rect x="{x}" y="8.5" width="2.5" height="2.5" fill="{paper}"/>'
                        f'<rect x="{x}" y="21" width="2.5" height="2.5" fill="{paper}"/>' for x in (7, 11.5, 16, 20.5, 25))
        return (f'<rect x="5" y="7" width="23" height="18" fill="{ink}"/>' + holes +
                f'<rect x="8" y="12.5" width="7" height="7" fill="{paper}"/><rect x="17.5" y="12.5" width="7" height="7" fill="{paper}"/>')
    if kind == "imag":
        return (f'<rect x="6" y="7" width="20" height="18" fill="{paper}" stroke="{ink}" stroke-width="1.5"/>'
                f'<circle cx="20.5" cy="12" r="2.2" fill="{ink}"/>'
                f'<path d="M7 24 L13 15 L17 20 L20 17 L25 24 Z" fill="{ink}"/>')
    return (f'<rect x="7" y="7" width="18" height="18" rx="2" fill="{paper}" stroke="{ink}" stroke-width="1.5" stroke-dasharray="3 2"/>'
            f'<path d="M13 13.5 Q13 10.5 16 10.5 Q19 10.5 19 13.3 Q19 15.3 16.5 16.3 V18.5" fill="none" stroke="{ink}" stroke-width="2" stroke-linecap="round"/>'
            f'<circle cx="16.5" cy="21.8" r="1.3" fill="{ink}"/>')


def node_icon(kind, selected, initial):
    tile, ink, paper = ("#203f9a", "#ffffff", "#203f9a") if selected else ("#ffffff", "#1a1a1a", "#ffffff")
    parts = [f'<rect x="1.5" y="1.5" width="29" height="29" rx="4" fill="{tile}" stroke="{"#0b1f5c" if selected else "#1a1a1a"}" stroke-width="1"/>']
    parts.append(kind_art(kind, ink, paper))
    if initial:
        parts.append('<circle cx="26" cy="6" r="5" fill="#1f9a3a" stroke="#ffffff" stroke-width="1"/>'
                     '<path d="M23.6 6.2 L25.4 8 L28.6 4.3" fill="none" stroke="#ffffff" stroke-width="1.4" stroke-linecap="round" stroke-linejoin="round"/>')
    return '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">' + "".join(parts) + "</svg>\n"


def icon(body, size=24):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" viewBox="0 0 24 24">'
            + body + "</svg>\n")


INK = 'stroke="#1a1a1a" stroke-width="1.6" fill="none" stroke-linecap="round" stroke-linejoin="round"'
ARROW_HEAD = '<path d="M15 8 L20 12 L15 16 Z" fill="#1a1a1a"/>'
TOOLS = {
    357: '<path d="M7 3 L7 19 L11 15 L14 21 L16.5 20 L13.6 14 L19 14 Z" fill="#ffffff" stroke="#1a1a1a" stroke-width="1.3" stroke-linejoin="round"/>',
    358: f'<circle cx="4.5" cy="12" r="2.5" fill="#1a1a1a"/><path d="M6 12 H16" {INK}/>' + ARROW_HEAD,
    359: f'<path d="M8 12 H16" {INK}/><path d="M9 8 L4 12 L9 16 Z" fill="#1a1a1a"/>' + ARROW_HEAD,
    360: f'<path d="M3 12 H21" stroke="#1a1a1a" stroke-width="1.6" stroke-dasharray="3 2"/><path d="M8 6 L16 18 M16 6 L8 18" stroke="#c0141c" stroke-width="2.2" stroke-linecap="round"/>',
    361: f'<path d="M4 20 L20 4" {INK}/>',
    362: f'<rect x="4" y="6" width="16" height="12" {INK}/>',
    363: f'<ellipse cx="12" cy="12" rx="8.5" ry="6" {INK}/>',
    364: '<path d="M6 5 H18 M12 5 V20 M9 20 H15" stroke="#1a1a1a" stroke-width="2" fill="none" stroke-linecap="round"/>',
    365: f'<path d="M4 5 Q19 5 20 19" {INK}/>',
    366: '<rect x="4" y="6" width="16" height="12" fill="#7f7f7f" stroke="#1a1a1a" stroke-width="1.6"/>',
    367: '<ellipse cx="12" cy="12" rx="8.5" ry="6" fill="#7f7f7f" stroke="#1a1a1a" stroke-width="1.6"/>',
    368: '<path d="M4 19 L14 9 L17 12 L7 22 Z" fill="#e0e0e0" stroke="#1a1a1a" stroke-width="1.2"/><circle cx="17.5" cy="6.5" r="3.5" fill="#d8452f" stroke="#1a1a1a" stroke-width="1"/>',
    369: '<rect x="3.5" y="3.5" width="17" height="17" fill="#ffffff" stroke="#1a1a1a" stroke-width="1"/>'
         + "".join(f'<rect x="{4 + 4 * (i % 4) + (2 if (i // 4) % 2 else 0)}" y="{4 + 4 * (i // 4)}" width="2" height="4" fill="#1a1a1a"/>' for i in range(16)),
    370: '<path d="M4 6 H20" stroke="#1a1a1a" stroke-width="1"/><path d="M4 11 H20" stroke="#1a1a1a" stroke-width="2.5"/><path d="M4 17.5 H20" stroke="#1a1a1a" stroke-width="4.5"/>',
    113: '<rect x="3" y="5" width="18" height="14" rx="2" fill="#ffffff" stroke="#1a1a1a" stroke-width="1.4"/><circle cx="10.5" cy="12" r="3.5" fill="none" stroke="#203f9a" stroke-width="1.6"/><path d="M13 14.5 L17 18" stroke="#203f9a" stroke-width="2" stroke-linecap="round"/>',
    311: '<rect x="3" y="4" width="14" height="16" fill="#ffffff" stroke="#1a1a1a" stroke-width="1.4"/><circle cx="17" cy="17" r="5" fill="#1f9a3a"/><path d="M17 14 V20 M14 17 H20" stroke="#ffffff" stroke-width="1.8" stroke-linecap="round"/>',
}
CURSORS = {
    353: '<path d="M12 2 V9 M12 15 V22 M2 12 H9 M15 12 H22" stroke="#ffffff" stroke-width="3"/><path d="M12 2 V9 M12 15 V22 M2 12 H9 M15 12 H22" stroke="#000000" stroke-width="1.2"/><path d="M15.5 15.5 L21 21 M21 15.5 L15.5 21" stroke="#ffffff" stroke-width="3.4" stroke-linecap="round"/><path d="M15.5 15.5 L21 21 M21 15.5 L15.5 21" stroke="#c0141c" stroke-width="1.8" stroke-linecap="round"/>',
    354: '<circle cx="12" cy="12" r="7" fill="#c0141c" stroke="#ffffff" stroke-width="1.5"/><path d="M8.5 8.5 L15.5 15.5 M15.5 8.5 L8.5 15.5" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round"/>',
}

if __name__ == "__main__":
    for kind, numbers in NODE_ICONS.items():
        for (selected, initial), number in zip(((0, 0), (1, 0), (0, 1), (1, 1)), numbers):
            with open(f"resources/map/node_{number}.svg", "w") as f:
                f.write(node_icon(kind, selected, initial))
    for number, body in TOOLS.items():
        with open(f"resources/images/icon_{number}.svg", "w") as f:
            f.write(icon(body))
    for number, body in CURSORS.items():
        with open(f"resources/images/cursor_{number}.svg", "w") as f:
            f.write(icon(body))
