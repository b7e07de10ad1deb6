<?xml version="1.0" encoding="UTF-8"?>
<!-- One day of a conversation: the header names the records file, whose
     messages are shown in a table, one band per session. The three labels
     and the text direction are filled in when the file is written. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8" indent="no" doctype-public="-//W3C//DTD HTML 4.01//EN"/>

<xsl:variable name="direction">%4</xsl:variable>
<xsl:variable name="account" select="/Log/@Account"/>

<xsl:template match="/Log">
<html>
<xsl:attribute name="dir">
  <xsl:choose><xsl:when test="$direction = 'rtol'">rtl</xsl:when><xsl:otherwise>ltr</xsl:otherwise></xsl:choose>
</xsl:attribute>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
<title><xsl:value-of select="@Party"/> - <xsl:value-of select="@Date"/></title>
<style type="text/css">
body { margin: 0; padding: 16px 20px; font: 13px "Segoe UI", Tahoma, Arial, sans-serif; color: #1d2430; background: #f4f6f9; }
h1 { margin: 0 0 2px 0; font-size: 20px; font-weight: 600; color: #17365d; }
.meta { margin: 0 0 14px 0; color: #5b6676; }
table { border-collapse: collapse; width: 100%%; background: #ffffff; border: 1px solid #d5dbe3; }
th { text-align: left; padding: 6px 10px; font-weight: 600; color: #ffffff; background: #2f5d8c; }
td { padding: 5px 10px; vertical-align: top; border-top: 1px solid #e6eaf0; }
td.time { white-space: nowrap; color: #6b7686; width: 1px; }
td.from { white-space: nowrap; font-weight: 600; width: 1px; }
tr.local td.from { color: #1f5fa8; }
tr.remote td.from { color: #b2361f; }
tr.system td { color: #6b7686; font-style: italic; }
tr.auto td.text { font-style: italic; color: #4d5866; }
tr.offline td.time { color: #a06a00; }
tr.session td { padding: 0; height: 6px; background: #e3e8ef; border-top: 2px solid #c3ccd8; }
td.text { word-wrap: break-word; }
td.text a[href^="file:"] { padding-left: 18px; background: url("../../../../../../../Common/Attach.png") no-repeat left center; }
</style>
</head>
<body>
<h1><xsl:value-of select="@Party"/></h1>
<p class="meta"><xsl:value-of select="@Date"/><xsl:text> &#8212; </xsl:text><xsl:value-of select="@Account"/></p>
<table>
<tr><th>%1</th><th>%2</th><th>%3</th></tr>
<xsl:apply-templates select="document(@Records)/Sessions/Message"/>
</table>
</body>
</html>
</xsl:template>

<xsl:template match="Message">
<xsl:if test="position() &gt; 1 and not(preceding-sibling::Message[1]/@Session = @Session)">
<tr class="session"><td colspan="3"></td></tr>
</xsl:if>
<tr>
<xsl:attribute name="class">
  <xsl:choose>
    <xsl:when test="@Kind = 'SYSTEM'">system</xsl:when>
    <xsl:when test="translate(Sender/@ScreenName, ' ', '') = translate($account, ' ', '')">local</xsl:when>
    <xsl:otherwise>remote</xsl:otherwise>
  </xsl:choose>
  <xsl:if test="contains(@Kind, 'AUTORESPONSE')"> auto</xsl:if>
  <xsl:if test="contains(@Kind, 'OFFLINE')"> offline</xsl:if>
</xsl:attribute>
<xsl:attribute name="title"><xsl:value-of select="@UTC"/></xsl:attribute>
<td class="time"><xsl:value-of select="@Time"/></td>
<td class="from">
  <xsl:attribute name="title"><xsl:value-of select="Sender/@ScreenName"/></xsl:attribute>
  <xsl:value-of select="Sender/@Name"/>
</td>
<td class="text"><xsl:copy-of select="Body/node()"/></td>
</tr>
</xsl:template>

</xsl:stylesheet>
