<?xml version="1.0" encoding="UTF-8"?>
<!-- A buddy's presence events: the header names the records file, whose
     events are listed newest last. The three labels and the text direction
     are filled in when the file is written; the event names below may be
     edited like the rest of this file. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8" indent="no" doctype-public="-//W3C//DTD HTML 4.01//EN"/>

<xsl:variable name="direction">%4</xsl:variable>

<xsl:template match="/EventLog">
<html>
<xsl:attribute name="dir">
  <xsl:choose><xsl:when test="$direction = 'rtol'">rtl</xsl:when><xsl:otherwise>ltr</xsl:otherwise></xsl:choose>
</xsl:attribute>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
<title><xsl:value-of select="@Buddy"/></title>
<style type="text/css">
body { margin: 0; padding: 16px 20px; font: 13px "Segoe UI", Tahoma, Arial, sans-serif; color: #1d2430; background: #f4f6f9; }
h1 { margin: 0 0 2px 0; font-size: 20px; font-weight: 600; color: #17365d; }
.meta { margin: 0 0 14px 0; color: #5b6676; }
table { border-collapse: collapse; background: #ffffff; border: 1px solid #d5dbe3; }
th { text-align: left; padding: 6px 14px; font-weight: 600; color: #ffffff; background: #2f5d8c; }
td { padding: 5px 14px; border-top: 1px solid #e6eaf0; white-space: nowrap; }
td.date, td.time { color: #6b7686; }
tr.on td.event { color: #1e7b34; font-weight: 600; }
tr.off td.event { color: #b2361f; font-weight: 600; }
tr.away td.event { color: #a06a00; }
tr.info td.event { color: #1f5fa8; }
</style>
</head>
<body>
<h1><xsl:value-of select="@Buddy"/></h1>
<p class="meta"><xsl:value-of select="@Account"/></p>
<table>
<tr><th>%1</th><th>%2</th><th>%3</th></tr>
<xsl:apply-templates select="document(@Records)/Events/Event"/>
</table>
</body>
</html>
</xsl:template>

<xsl:template match="Event">
<tr>
<xsl:attribute name="class">
  <xsl:choose>
    <xsl:when test="@Type = 1 or @Type = 4 or @Type = 8">on</xsl:when>
    <xsl:when test="@Type = 2">off</xsl:when>
    <xsl:when test="@Type = 3 or @Type = 7">away</xsl:when>
    <xsl:otherwise>info</xsl:otherwise>
  </xsl:choose>
</xsl:attribute>
<xsl:attribute name="title"><xsl:value-of select="@UTC"/></xsl:attribute>
<td class="date"><xsl:value-of select="@Date"/></td>
<td class="time"><xsl:value-of select="@Time"/></td>
<td class="event">
  <xsl:choose>
    <xsl:when test="@Type = 1">Signed on</xsl:when>
    <xsl:when test="@Type = 2">Signed off</xsl:when>
    <xsl:when test="@Type = 3">Went away</xsl:when>
    <xsl:when test="@Type = 4">Came back</xsl:when>
    <xsl:when test="@Type = 5">Went mobile</xsl:when>
    <xsl:when test="@Type = 6">Left mobile</xsl:when>
    <xsl:when test="@Type = 7">Became idle</xsl:when>
    <xsl:when test="@Type = 8">Became active</xsl:when>
    <xsl:when test="@Type = 9">Changed the personal message</xsl:when>
    <xsl:when test="@Type = 10">Updated the feed</xsl:when>
    <xsl:otherwise><xsl:value-of select="@Type"/></xsl:otherwise>
  </xsl:choose>
</td>
</tr>
</xsl:template>

</xsl:stylesheet>
